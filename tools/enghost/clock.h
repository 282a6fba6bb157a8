// Time controls and the clock of one side.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "protocol/search_request.h"

namespace enghost {

struct TimeControl {
    enum class Kind { kIncrement, kMovesPerPeriod, kFixedPerMove };
    Kind kind = Kind::kIncrement;
    int baseSeconds = 60;   // kIncrement, kMovesPerPeriod
    int increment = 0;      // kIncrement, seconds
    int moves = 0;          // kMovesPerPeriod: moves per period
    int perMove = 0;        // kFixedPerMove, seconds

    // "BASE", "BASE+INC" (seconds), or "MOVES/BASE"; a message when malformed.
    static std::optional<TimeControl> Parse(const std::string& text, std::string* error);
    static TimeControl FixedPerMove(int seconds);
    // The PGN TimeControl tag: "60+1", "40/300", and "1/5" for a fixed time.
    std::string PgnText() const;
};

// One side's clock, in milliseconds.
class SideClock {
public:
    explicit SideClock(const TimeControl& control);

    // Time left for the move about to be made.
    std::int64_t LeftMs() const { return leftMs_; }
    // The clock fields of a search request for this side now.
    cecp::SearchClock Fields() const;
    // Charges a move that took elapsedMs; false when the flag fell.
    bool Charge(std::int64_t elapsedMs);

private:
    TimeControl control_;
    std::int64_t leftMs_;
    int movesDone_ = 0;        // moves made in total
    int movesInPeriod_ = 0;    // moves made in the current period
};

}  // namespace enghost
