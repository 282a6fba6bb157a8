// The host's search request for a game, written through the module's own
// layout and writer (protocol/search_request.h).
#pragma once

#include <vector>

#include "board.h"
#include "chess/move_word.h"
#include "protocol/search_request.h"

namespace enghost {

struct SearchRecord {
    static constexpr int kMoveCapacity = static_cast<int>(cecp::search_request::kMoveCapacity);
    alignas(8) unsigned char bytes[cecp::search_request::kEnd] = {};
};

// The request for the game from start with the moves played (more than
// kMoveCapacity is the caller's to prevent), the clock of the side to move,
// and whether the engine is to ponder on the last of the moves.
SearchRecord GameRequest(const Board& start, bool standardStart, const std::vector<cecp::MoveWord>& moves,
                         const cecp::SearchClock& clock, bool ponder = false);

}  // namespace enghost
