// The engine's move: the end of a search, whatever the dialect.
#pragma once

namespace cecp {

// The engine's move ends the search; it is shown as the main line unless the
// last line shown already begins with it. After a request to move now it is
// shown although the stop silences other reports.
void TakeEngineMove(const char* move);

}  // namespace cecp
