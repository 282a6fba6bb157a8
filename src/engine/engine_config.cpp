#include "engine/engine_config.h"

#include "platform/profile.h"

namespace cecp {
namespace {

constexpr const char* kSupport = "Support";
constexpr const char* kParameter = "Parameter";

bool ReadSwitch(const char* initPath, const char* section, const char* key, std::size_t limit) {
    char value[kLongSettingLimit + 1];
    platform::ReadProfileString(initPath, section, key, value, limit + 1);
    return IsSwitchOn(value);
}

}  // namespace

bool IsSwitchOn(const char* value) {
    for (const char* at = value; *at != '\0'; ++at) {
        const char* want = "true";
        const char* c = at;
        while (*want != '\0' && *c != '\0' &&
               ((*c >= 'A' && *c <= 'Z') ? *c - 'A' + 'a' : *c) == *want) {
            ++c;
            ++want;
        }
        if (*want == '\0') return true;
    }
    return false;
}

void ReadEngineConfig(const char* initPath, EngineConfig* config) {
    config->analyzeMode = ReadSwitch(initPath, kSupport, "AnalyzeMode", kLongSettingLimit);
    config->ponderMode = ReadSwitch(initPath, kSupport, "PonderMode", kLongSettingLimit);
    config->castleAndEP = ReadSwitch(initPath, kSupport, "CastleAndEP", kLongSettingLimit);
    config->evaluationWhite = ReadSwitch(initPath, kSupport, "EvaluationWhite", kLongSettingLimit);
    platform::ReadProfileString(initPath, kParameter, "CommandLine", config->commandLine,
                                sizeof config->commandLine);
    platform::ReadProfileString(initPath, kParameter, "Author", config->author, sizeof config->author);
    platform::ReadProfileString(initPath, kParameter, "Engine", config->engine, sizeof config->engine);
}

bool ReadDebugSwitch(const char* initPath) {
    return ReadSwitch(initPath, kParameter, "Debug", kShortSettingLimit);
}

bool ReadLogfileSwitch(const char* initPath) {
    return ReadSwitch(initPath, kParameter, "Logfile", kShortSettingLimit);
}

}  // namespace cecp
