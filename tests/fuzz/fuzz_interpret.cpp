// InterpretLine on arbitrary engine lines, against arbitrary positions and
// search states, with an info block held (or none).
//
// What must hold: nothing is read or written outside the info block (it is
// allocated at its exact size) or the line; every notification names a code
// of 329 to 333 and the block held; every main line shown holds at most 32
// moves, each legal in turn from the engine's position, and moves only
// reach the block when the search has not been stopped; the flags stay 0 or
// 1 and the cached main line within its room.
//
// Input: 64 board bytes, side, castling and en-passant bytes, a flags byte,
// the reported depth (signed byte), then the engine's output: each line
// (up to a line feed) goes through InterpretLine in turn, so that a move can
// follow the thinking lines of its search.
//
// Flags: 1 the start position instead of the board; 2 castling rights from
// the placement; 4 a main line already reported; 8 the search stopped; 16
// scores from White's side; 32 White to move in the engine; 64 no info block
// held; 128 analysis on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "chess/move_list.h"
#include "chess/position.h"
#include "move_listed.h"
#include "host/adapter_state.h"
#include "host/info_block.h"
#include "protocol/dialect.h"

namespace {

namespace ib = cecp::info_block;

unsigned char* g_info = nullptr;
cecp::Position g_position;
int g_mainLines = 0;

using cecp::fuzz::Listed;

bool IsFlag(std::int32_t value) { return value == 0 || value == 1; }

}  // namespace

extern "C" std::int32_t CECP_CALL Func3(std::uint32_t code, std::uint32_t, std::uint32_t, void* infoBlock) {
    if (code < cecp::kNotifyMainline || code > cecp::kNotifyNodes) std::abort();
    if (infoBlock == nullptr || infoBlock != g_info) std::abort();
    // Reports after a stop are dropped.
    if (cecp::g_state.stopRequested != 0) std::abort();
    if (code == cecp::kNotifyMainline) {
        ++g_mainLines;
        const int n = cecp::LoadField<std::int16_t>(infoBlock, ib::kMainLineLength);
        if (n < 1 || n > static_cast<int>(ib::kMainLineCapacity)) std::abort();
        cecp::Position line = g_position;
        for (int i = 0; i < n; ++i) {
            const auto move = cecp::LoadField<cecp::MoveWord>(infoBlock, ib::kMainLine + 2 * i);
            if (!Listed(line, move)) std::abort();
            line.MakeMove(move);
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kHeader = 64 + 3 + 2;
    if (size < kHeader) return 0;
    const std::uint8_t flags = data[67];
    using cecp::g_state;

    cecp::Position position;
    if (flags & 1) {
        position.SetStartPosition();
    } else {
        position.SetFromBoard(data, data[64] % 3, data[65], static_cast<std::int8_t>(data[66]));
        if (flags & 2) position.CastlingFromPlacement();
    }
    cecp::SetEnginePosition(position);
    g_position = position;

    // Exactly the block's size, so that any stray field write is caught.
    g_info = (flags & 64) ? nullptr : new unsigned char[ib::kMinimumSize]();
    g_state.infoBlock = g_info;
    g_state.pvReported = (flags & 4) ? 1 : 0;
    g_state.stopRequested = (flags & 8) ? 1 : 0;
    g_state.evaluationWhite = (flags & 16) ? 1 : 0;
    g_state.engineSideWhite = (flags & 32) ? 1 : 0;
    g_state.analyzeMode = g_state.analyzing = (flags & 128) ? 1 : 0;
    g_state.reportedDepth = static_cast<std::int8_t>(data[68]);
    g_state.awaitingMove = 1;
    g_state.statusRequestsLeft = 1;
    g_state.lastPvLength = 0;
    g_state.lastPvScore = 0;
    g_state.lastPvTime = 0;
    std::memset(g_state.lastPv, 0, sizeof g_state.lastPv);
    g_mainLines = 0;

    const std::string text(reinterpret_cast<const char*>(data + kHeader), size - kHeader);
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        cecp::OpenDialect().readLine(line.c_str());

        if (!IsFlag(g_state.awaitingMove) || !IsFlag(g_state.pvReported) || !IsFlag(g_state.analyzeMode) ||
            !IsFlag(g_state.analyzing)) {
            std::abort();
        }
        if (g_state.lastPvLength < 0 || g_state.lastPvLength > static_cast<int>(ib::kMainLineCapacity)) std::abort();
        if (g_state.statusRequestsLeft != 1 && g_state.statusRequestsLeft != -1) std::abort();
        start = end + 1;
    }
    if (g_info != nullptr && (flags & 8) && g_mainLines != 0) std::abort();

    g_state.infoBlock = nullptr;
    delete[] g_info;
    g_info = nullptr;
    return 0;
}
