#include "engine/engine_config.h"

#include <cstring>

#include "platform/profile.h"

namespace cecp {
namespace {

constexpr const char* kSupport = "Support";
constexpr const char* kParameter = "Parameter";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

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
        while (*want != '\0' && *c != '\0' && AsciiLower(*c) == *want) {
            ++c;
            ++want;
        }
        if (*want == '\0') return true;
    }
    return false;
}

bool ReadDialectSetting(const char* value, DialectKind* out) {
    struct Named {
        const char* value;
        DialectKind kind;
    };
    constexpr Named kNamed[] = {
        {"", DialectKind::kClassic},
        {"1", DialectKind::kClassic},
        {"2", DialectKind::kProtocol2},
        {"uci", DialectKind::kUci},
    };
    while (IsBlank(*value)) ++value;
    std::size_t length = std::strlen(value);
    while (length > 0 && IsBlank(value[length - 1])) --length;
    for (const Named& named : kNamed) {
        if (std::strlen(named.value) != length) continue;
        std::size_t i = 0;
        while (i < length && AsciiLower(value[i]) == named.value[i]) ++i;
        if (i < length) continue;
        *out = named.kind;
        return true;
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
    platform::ReadProfileString(initPath, kParameter, "Protocol", config->protocol, sizeof config->protocol);
    platform::ReadProfileSection(initPath, "Options", config->options, sizeof config->options);
}

void ForEachEngineOption(const char* options, void (*visit)(const char* name, const char* value, void* context),
                         void* context) {
    for (const char* entry = options; *entry != '\0'; entry += std::strlen(entry) + 1) {
        const char* equals = std::strchr(entry, '=');
        if (equals == nullptr) continue;
        const char* nameEnd = equals;
        while (nameEnd > entry && IsBlank(nameEnd[-1])) --nameEnd;
        const char* nameStart = entry;
        while (nameStart < nameEnd && IsBlank(*nameStart)) ++nameStart;
        if (nameStart == nameEnd) continue;
        const char* value = equals + 1;
        while (IsBlank(*value)) ++value;
        std::size_t valueLength = std::strlen(value);
        while (valueLength > 0 && IsBlank(value[valueLength - 1])) --valueLength;
        char name[kOptionsTextSize];
        char text[kOptionsTextSize];
        std::memcpy(name, nameStart, static_cast<std::size_t>(nameEnd - nameStart));
        name[nameEnd - nameStart] = '\0';
        std::memcpy(text, value, valueLength);
        text[valueLength] = '\0';
        visit(name, text, context);
    }
}

bool ReadDebugSwitch(const char* initPath) {
    return ReadSwitch(initPath, kParameter, "Debug", kShortSettingLimit);
}

bool ReadLogfileSwitch(const char* initPath) {
    return ReadSwitch(initPath, kParameter, "Logfile", kShortSettingLimit);
}

}  // namespace cecp
