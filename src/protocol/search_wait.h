// The wait of a search request for the engine's move.
#pragma once

#include <cstdint>

namespace cecp {

// Clears awaitingMove and wakes the search that waits for it at once. Called
// when the engine's move has been interpreted, when its output ends, when it
// has died, and when the search is stopped or the engine closed.
void EndMoveWait();

// Sleeps until EndMoveWait is called or milliseconds have passed, whichever
// comes first; a call of EndMoveWait since ticket was taken ends it at once.
void WaitForMoveOrTimeout(std::uint64_t ticket, int milliseconds);
// The ticket to wait with: take it before testing awaitingMove.
std::uint64_t MoveWaitTicket();

// Milliseconds of a steady clock.
std::int64_t SteadyMilliseconds();

}  // namespace cecp
