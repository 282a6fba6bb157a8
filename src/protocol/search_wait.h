// The wait of a search request for the engine's move.
#pragma once

namespace cecp {

// Clears awaitingMove and wakes the search that waits for it at once. Called
// when the engine's move has been interpreted, when its output ends, when it
// has died, and when the search is stopped or the engine closed.
void EndMoveWait();

}  // namespace cecp
