// The engine's move: the end of a search, whatever the dialect.
#pragma once

namespace cecp {

// The engine's move ends the search. answer is the move in the engine's
// notation, followed (UCI) by the reply it expects, where it named one. The
// last line shown stands when it begins with the move and gives the host a
// reply to ponder on; otherwise the move is shown, with the expected reply
// where it is legal. After a request to move now it is shown although the
// stop silences other reports.
void TakeEngineMove(const char* answer);

}  // namespace cecp
