// The search as the host sees it: one request from its start to the engine's
// answer, however the engine's dialect says it.
#pragma once

namespace cecp {

class SearchRequestView;

// The request is a ponder search: the host asks for one, the settings allow
// pondering, and the request ends with the reply the host expects.
bool IsPonderSearch(const SearchRequestView& request);

// Eng9: runs the search request in the host's record and returns once it is
// over (the engine's answer is in the record, or none will come).
void RunSearch(void* record);

// Eng3: stops an analysis or a ponder search, or asks for the move now; once
// per search, from any host thread.
void StopSearch();

// Eng10: the host has played the reply the engine ponders on.
void PonderReplyPlayed();

}  // namespace cecp
