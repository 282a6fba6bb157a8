// What the module knows of its engine before it starts it: where it lives
// (from the module's own path, at load) and what its settings file says
// (read at every open). Host threads read it; an open rewrites it.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/engine_config.h"

namespace cecp {

constexpr int kPathBufferSize = 512;  // every path: at most 511 characters
constexpr int kNameBufferSize = 128;  // file, author and display names

struct EngineSettings {
    std::atomic<std::int32_t> analyzeMode{0};
    std::atomic<std::int32_t> ponderMode{0};
    std::atomic<std::int32_t> castleAndEP{0};
    std::atomic<std::int32_t> evaluationWhite{0};
    // The settings' engine options, as EngineConfig holds them.
    char engineOptions[kOptionsTextSize] = {};
    char engineDirectory[kPathBufferSize] = {};
    char engineFileName[kNameBufferSize] = {};
    char authorName[kNameBufferSize] = {};
    char engineName[kNameBufferSize] = {};
    // Why the module's own path cannot serve for an engine (empty when it can).
    char installProblem[kPathBufferSize] = {};
};

extern EngineSettings g_settings;

}  // namespace cecp
