// The host's search request, filled at its byte offsets.
#pragma once

#include <cstdint>
#include <vector>

#include "board.h"
#include "chess/move_word.h"
#include "protocol/search_request.h"

namespace enghost {

// The clock fields of one request, as the clock of the side to move gives them.
struct ClockFields {
    std::int16_t mode = 1;  // 2 base plus increment, 3 moves in time, else none
    std::int32_t timeLeft = 0;
    std::int32_t increment = 0;
    std::int32_t timeUsed = 0;
    std::int16_t movesToGo = 0;
    std::int16_t movesPlayed = 0;
};

class SearchRecord {
public:
    static constexpr int kMoveCapacity = static_cast<int>(cecp::search_request::kMoveCapacity);

    // The game from start with the moves played; more than the record holds
    // is the caller's to prevent (kMoveCapacity).
    void SetGame(const Board& start, bool standardStart, const std::vector<cecp::MoveWord>& moves);
    void SetClock(const ClockFields& clock);
    void SetPonder(bool ponder);

    void* data() { return bytes_; }
    const void* data() const { return bytes_; }

private:
    alignas(8) unsigned char bytes_[cecp::search_request::kEnd + 8] = {};
};

}  // namespace enghost
