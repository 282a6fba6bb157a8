// The search as the host sees it: one request from its start to the engine's
// answer, however the engine's dialect says it.
#pragma once

namespace cecp {

// Eng9: runs the search request in the host's record and returns once it is
// over (the engine's answer is in the record, or none will come).
void RunSearch(void* record);

// Eng3: stops an analysis or a ponder search, or asks for the move now; once
// per search, from any host thread.
void StopSearch();

// Eng10: the host has played the reply the engine ponders on.
void PonderReplyPlayed();

}  // namespace cecp
