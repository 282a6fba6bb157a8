// The commands of a search request in the Chess Engine Communication
// Protocol, shared by its classic conversation and by version 2: the clock,
// then the position.
#pragma once

#include <cstddef>
#include <cstdint>

#include "chess/move_word.h"
#include "chess/position.h"
#include "protocol/search_request.h"

namespace cecp {

// The clock of a request: a "level" (empty while the time control is the one
// sent last) and the engine's time for "time", or for a request without a
// clock an unlimited level or the preparation of an analysis (analyzing set),
// with the status requests of a search without clock switched on.
struct ClockPlan {
    char level[64] = {};
    std::int32_t centiseconds = 0;
    bool timed = false;  // a "time" is due
};
ClockPlan PlanClock(const SearchRequestView& request);

// The time control sent last is forgotten: the next clock sends its "level"
// whatever it is (a new game, a new engine).
void ForgetLevelSent();

// "time N", "otim N".
void SendTimeCommand(const char* name, std::int32_t centiseconds);

// The status requests of a search without clock ("."), about one a second
// from the start of the search for as long as the engine answers them: the
// start, then every pass of Eng9's wait.
void RestartStatusRequests();
void TickStatusRequests();

// "new", then the clock as planned, the time right after the level.
void SendClockCommands(const SearchRequestView& request);

// The position of the request (the start position, or a set-up position in
// edit mode), "hard"/"easy", and the moves played in force mode; the
// engine's position follows every move, and a ponder request holds its last
// move back.
void SendPosition(const SearchRequestView& request);

// The set-up position of the request in edit mode, with the castling and
// en-passant commands when the settings allow them; position becomes the
// board the engine was given (castling rights as edit mode assumes them).
void SendEditedPosition(const SearchRequestView& request, Position* position);

// Coordinate text of a move: from and to squares and, for a promotion, its
// letter (e7e8q). out needs room for 6 characters.
void MoveText(MoveWord move, char* out);

}  // namespace cecp
