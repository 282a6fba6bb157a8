// For the targets that hand engine lines to a dialect's reader: the engine's
// position and the search's state from an input's header, the host's info
// block, and what every report and every line must leave.
//
// Header: 64 board bytes, side, castling and en-passant bytes, a flags byte,
// the reported depth (signed byte). Flags: 1 the start position instead of
// the board; 2 castling rights from the placement; 4 a main line already
// reported; 8 the search stopped; 16 scores from White's side; 32 White to
// move in the engine; 64 no info block held; 128 analysis on.
//
// What must hold: nothing is written outside the info block (it is allocated
// at its exact size); every notification names a code of 329 to 333 and the
// block held, and none comes after a stop; every main line shown holds 1 to
// 32 moves, each one of the generated moves in turn from the engine's
// position; the flags stay 0 or 1 and the cached main line within its room.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "chess/position.h"
#include "engine/engine_settings.h"
#include "host/host_link.h"
#include "host/info_block.h"
#include "move_listed.h"
#include "protocol/search_state.h"

namespace cecp::fuzz {

constexpr std::size_t kSearchHeader = 64 + 3 + 2;

struct Search {
    void* info = nullptr;  // the block held, or null
    Position position;     // the engine's
    std::uint8_t flags = 0;
    int mainLines = 0;
};
inline Search g_input;

// The engine's position from the header.
inline Position HeaderPosition(const std::uint8_t* header) {
    Position position;
    if (header[67] & 1) {
        position.SetStartPosition();
    } else {
        position.SetFromBoard(header, header[64] % 3, header[65], static_cast<std::int8_t>(header[66]));
        if (header[67] & 2) position.CastlingFromPlacement();
    }
    return position;
}

// Sets the engine's position and the search's state from the header, the
// search under way and awaiting the engine's move.
inline void SetUpSearch(const std::uint8_t* header) {
    namespace ib = info_block;
    // Exactly the block's size, so that any stray field write is caught;
    // allocated once, emptied for each input.
    static unsigned char* const block = new unsigned char[ib::kMinimumSize];
    std::memset(block, 0, ib::kMinimumSize);
    const std::uint8_t flags = header[67];
    g_input.flags = flags;
    g_input.position = HeaderPosition(header);
    g_input.info = (flags & 64) ? nullptr : block;
    g_input.mainLines = 0;
    SetEnginePosition(g_input.position);

    g_host.infoBlock = g_input.info;
    g_host.pvReported = (flags & 4) ? 1 : 0;
    g_host.stopRequested = (flags & 8) ? 1 : 0;
    g_settings.evaluationWhite = (flags & 16) ? 1 : 0;
    g_host.engineSideWhite = (flags & 32) ? 1 : 0;
    g_settings.analyzeMode = (flags & 128) ? 1 : 0;
    g_search.phase = g_settings.analyzeMode ? SearchPhase::kAnalysing : SearchPhase::kSearching;
    g_host.reportedDepth = static_cast<std::int8_t>(header[68]);
    g_host.lastPvLength = 0;
    g_host.lastPvScore = 0;
    g_host.lastPvTime = 0;
    std::memset(g_host.lastPv, 0, sizeof g_host.lastPv);
}

// Func3's checks.
inline void CheckReport(std::uint32_t code, void* infoBlock) {
    namespace ib = info_block;
    if (code < kNotifyMainline || code > kNotifyNodes) std::abort();
    if (infoBlock == nullptr || infoBlock != g_input.info) std::abort();
    // Reports after a stop are dropped.
    if (g_host.stopRequested != 0) std::abort();
    if (code != kNotifyMainline) return;
    ++g_input.mainLines;
    const int n = LoadField<std::int16_t>(infoBlock, ib::kMainLineLength);
    if (n < 1 || n > static_cast<int>(ib::kMainLineCapacity)) std::abort();
    Position line = g_input.position;
    for (int i = 0; i < n; ++i) {
        const auto move = LoadField<MoveWord>(infoBlock, ib::kMainLine + 2 * i);
        if (!Listed(line, move)) std::abort();
        line.MakeMove(move);
    }
}

inline bool IsFlag(std::int32_t value) { return value == 0 || value == 1; }

// After every line.
inline void CheckSearchState() {
    if (!IsFlag(g_host.pvReported) || !IsFlag(g_settings.analyzeMode)) std::abort();
    // Lines move the search on only to its end, or an analysis to its refusal.
    const SearchPhase phase = g_search.phase;
    if (phase != SearchPhase::kSearching && phase != SearchPhase::kAnalysing && phase != SearchPhase::kRefused &&
        phase != SearchPhase::kEnded) {
        std::abort();
    }
    const int cached = g_host.lastPvLength;
    if (cached < 0 || cached > static_cast<int>(info_block::kMainLineCapacity)) std::abort();
}

// At the end of the input: no main line reached a stopped search's block.
inline void EndSearch() {
    if (g_input.info != nullptr && (g_input.flags & 8) && g_input.mainLines != 0) std::abort();
    g_host.infoBlock = nullptr;
}

}  // namespace cecp::fuzz
