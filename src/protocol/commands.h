// The commands of a search request: the clock, then the position.
#pragma once

#include <cstddef>

#include "chess/move_word.h"
#include "protocol/search_request.h"

namespace cecp {

// "new", then the clock: a "level" (skipped while the time control is the one
// sent last) and a "time"; or, for a request without a clock, an unlimited
// level or the preparation of an analysis.
void SendClockCommands(const SearchRequestView& request);

// The position of the request (the start position, or a set-up position in
// edit mode), "hard"/"easy", and the moves played in force mode; the
// engine's position follows every move, and a ponder request holds its last
// move back.
void SendPosition(const SearchRequestView& request);

// Coordinate text of a move: from and to squares and, for a promotion, its
// letter (e7e8q). out needs room for 6 characters.
void MoveText(MoveWord move, char* out);

}  // namespace cecp
