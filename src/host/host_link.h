// The host's side of a search: the host's info block, what the host has asked
// of the search, and what it has been shown of it.
//
// The record lives in static storage from load to unload and is
// constant-initialised. Flags shared between the host's threads and the
// reader thread are 32-bit atomics, each written and read whole; the host's
// records are reached only through the addresses the host gave.
#pragma once

#include <atomic>
#include <cstdint>

#include "chess/move_text.h"
#include "chess/move_word.h"
#include "chess/position.h"

namespace cecp {

using Flag = std::atomic<std::int32_t>;

constexpr int kPvCacheSize = 128;

struct HostLink {
    std::atomic<void*> infoBlock{nullptr};
    // The host has asked the search to stop (or to move now): from then on
    // only the engine's answer is reported.
    Flag stopRequested{0};
    // The engine plays white in the search under way: its scores are from
    // its own side.
    Flag engineSideWhite{1};
    Flag pvReported{0};
    Flag reportedDepth{0};

    // The main line last shown to the host in this search; it stands until
    // another line is shown. While lastPvRepeatable is set (a deeper
    // iteration began, or a line could not be read), the next line is shown
    // even when it repeats this one.
    MoveWord lastPv[kPvCacheSize] = {};
    Flag lastPvLength{0};
    Flag lastPvRepeatable{0};
    Flag lastPvScore{0};
    Flag lastPvTime{0};

    // The position the engine searches, against which its lines are read.
    Position enginePosition;
    MoveTextRecogniser moveTextCache;
};

extern HostLink g_host;

// The engine's position is rebuilt by each search request on a host thread
// while the reader thread may still be reading engine output against it:
// both sides go through these two calls.
Position EnginePositionCopy();
void SetEnginePosition(const Position& position);

}  // namespace cecp
