// The engine's settings file: which protocol features it supports, how it is
// started, what the host shows for it, and two debugging switches.
#pragma once

#include <cstddef>

namespace cecp {

constexpr std::size_t kLongSettingLimit = 509;   // switches of "Support", "CommandLine"
constexpr std::size_t kShortSettingLimit = 125;  // "Author", "Engine", "Debug", "Logfile", "Protocol"
// The section "Options" as read: "NAME=VALUE" entries, each ended by a NUL,
// the list by a second one; a longer section is cut.
constexpr std::size_t kOptionsTextSize = 4096;

struct EngineConfig {
    bool analyzeMode = false;
    bool ponderMode = false;
    bool castleAndEP = false;
    bool evaluationWhite = false;
    char commandLine[kLongSettingLimit + 1] = {};
    char author[kShortSettingLimit + 1] = {};
    char engine[kShortSettingLimit + 1] = {};
    char protocol[kShortSettingLimit + 1] = {};
    char options[kOptionsTextSize] = {};
};

// Calls visit(name, value) for every engine option of the list, in order:
// each entry "NAME=VALUE" split at its first '=', the blanks around both
// dropped. Entries without '=' or with an empty name are skipped.
void ForEachEngineOption(const char* options, void (*visit)(const char* name, const char* value, void* context),
                         void* context);

// A switch is on when its value, lower-cased, contains "true" anywhere.
bool IsSwitchOn(const char* value);

// The ways of speaking to an engine that "Protocol" names.
enum class DialectKind { kClassic, kProtocol2, kUci };

// The dialect a "Protocol" value names: empty or "1" the classic
// conversation, "2" protocol version 2, "uci" UCI, in any case and with
// blanks around it. False for any other value.
bool ReadDialectSetting(const char* value, DialectKind* out);

// Reads, in this order, "AnalyzeMode", "PonderMode", "CastleAndEP" and
// "EvaluationWhite" from "Support", then "CommandLine", "Author", "Engine"
// and "Protocol" from "Parameter", then the section "Options". A missing
// file, section or key gives the defaults.
void ReadEngineConfig(const char* initPath, EngineConfig* config);

// "Debug" and "Logfile" of "Parameter", read once the engine runs.
bool ReadDebugSwitch(const char* initPath);
bool ReadLogfileSwitch(const char* initPath);

}  // namespace cecp
