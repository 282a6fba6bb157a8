// The engine's settings file: which protocol features it supports, how it is
// started, what the host shows for it, and two debugging switches.
#pragma once

#include <cstddef>

namespace cecp {

constexpr std::size_t kLongSettingLimit = 509;   // switches of "Support", "CommandLine"
constexpr std::size_t kShortSettingLimit = 125;  // "Author", "Engine", "Debug", "Logfile"

struct EngineConfig {
    bool analyzeMode = false;
    bool ponderMode = false;
    bool castleAndEP = false;
    bool evaluationWhite = false;
    char commandLine[kLongSettingLimit + 1] = {};
    char author[kShortSettingLimit + 1] = {};
    char engine[kShortSettingLimit + 1] = {};
};

// A switch is on when its value, lower-cased, contains "true" anywhere.
bool IsSwitchOn(const char* value);

// Reads, in this order, "AnalyzeMode", "PonderMode", "CastleAndEP" and
// "EvaluationWhite" from "Support", then "CommandLine", "Author" and "Engine"
// from "Parameter". A missing file, section or key gives the defaults.
void ReadEngineConfig(const char* initPath, EngineConfig* config);

// "Debug" and "Logfile" of "Parameter", read once the engine runs.
bool ReadDebugSwitch(const char* initPath);
bool ReadLogfileSwitch(const char* initPath);

}  // namespace cecp
