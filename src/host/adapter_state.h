// The one module-wide record: flags, handles, texts, buffers and caches.
//
// It lives in static storage from load to unload and is constant-initialised,
// so every field holds its value at load before any code of the module runs.
// Flags shared between the host's threads and the reader thread are 32-bit
// atomics, each written and read whole; the host's records are reached only
// through the addresses the host gave.
#pragma once

#include <atomic>
#include <cstdint>

#include "chess/move_text.h"
#include "chess/move_word.h"
#include "chess/position.h"
#include "engine/reader_context.h"
#include "platform/handle.h"

namespace cecp {

using Flag = std::atomic<std::int32_t>;

constexpr int kPathBufferSize = 512;      // every path: at most 511 characters
constexpr int kNameBufferSize = 128;      // file, author and display names
constexpr int kPvCacheSize = 128;
constexpr int kPonderMoveSize = 6;        // four characters, a promotion letter, NUL

struct AdapterState {
    // Host link and lifecycle.
    std::atomic<void*> infoBlock{nullptr};
    Flag engineOpen{0};
    Flag thinking{0};

    // Search state.
    Flag stopRequested{0};
    Flag awaitingMove{0};
    Flag pvReported{0};
    Flag reportedDepth{0};
    Flag analyzing{0};
    Flag statusPolling{0};
    Flag statusRequestsLeft{1};
    char ponderMove[kPonderMoveSize] = {};
    Flag engineSideWhite{1};
    std::int32_t lastLevelIncrement = -1;
    std::int32_t lastLevelSeconds = -1;
    std::int32_t lastLevelMoves = -1;

    // The main line last shown to the host.
    MoveWord lastPv[kPvCacheSize] = {};
    Flag lastPvLength{0};
    Flag lastPvScore{0};
    Flag lastPvTime{0};

    // Configuration and installation.
    Flag analyzeMode{0};
    Flag ponderMode{0};
    Flag castleAndEP{0};
    Flag evaluationWhite{0};
    char engineDirectory[kPathBufferSize] = {};
    char engineFileName[kNameBufferSize] = {};
    char authorName[kNameBufferSize] = {};
    char engineName[kNameBufferSize] = {};
    // Why the module's own path cannot serve for an engine (empty when it can).
    char installProblem[kPathBufferSize] = {};

    // Engine process and transport.
    platform::Handle engineProcess = platform::kNoProcess;
    platform::Handle engineStdinWrite = platform::kNoPipe;
    platform::Handle engineStdoutWrite = platform::kNoPipe;
    ReaderContext reader;
    Flag readerRunning{0};
    Flag consoleAllocated{0};
    platform::Handle consoleBuffer = platform::kNoFile;
    platform::Handle logFile = platform::kNoFile;

    // Chess rules.
    Position enginePosition;
    MoveTextRecogniser moveTextCache;
};

extern AdapterState g_state;

}  // namespace cecp
