// The search as the host sees it: one request from its start to the engine's
// answer, however the engine's dialect says it. The driver owns the search's
// phase (search_state.h); the dialects say what the engine is told and move
// the phase on through the calls below.
#pragma once

#include <cstdint>

#include "protocol/search_state.h"

namespace cecp {

class SearchRequestView;

// Eng9: runs the search request in the host's record and returns once it is
// over (the engine's answer is in the record, or none will come).
void RunSearch(void* record);

// Eng3: stops an analysis or a ponder search, or asks for the move now; once
// per search, from any host thread.
void StopSearch();

// Eng10: the host has played the reply the engine ponders on.
void PonderReplyPlayed();

// A search request runs (Eng4).
bool SearchRunning();

// What the search under way is, as the driver decided it for the dialect.
struct SearchPlan {
    // The request has no clock and the settings allow analysis: the engine
    // analyses until the host stops it.
    bool analyse = false;
    // The host asks for a ponder search, the settings allow pondering, and
    // the request ends with the reply the host expects.
    bool ponder = false;
};

// The plan of a search request, from the request and the settings.
SearchPlan PlanSearch(const SearchRequestView& request);

// The phase of the search under way.
inline SearchPhase CurrentPhase() { return g_search.phase.load(); }

// The search waits for the engine's answer: it searches, ponders, analyses,
// was refused, or was asked for its move now.
bool AwaitingAnswer();

// The host has stopped the search (Eng3).
bool StopAsked();

// The dialect is about to send the command that starts the engine's search,
// under the CommandSequence lock: the search now waits for the answer
// (phase: searching, pondering or analysing). False when the host stopped
// the search while it was being set up: nothing is to be sent. A ponder
// search whose reply the host confirmed while it was being set up begins
// confirmed (*confirmed; the dialect confirms it to the engine at once).
bool BeginEngineSearch(SearchPhase phase, bool* confirmed = nullptr);

// How long a search waits for the engine's answer to a request to move now
// or to stop, before it gives up on the engine.
constexpr int kMoveNowPatienceMilliseconds = 5000;

// Stamps a request to move now or to stop, before its command is sent: the
// engine may answer before the command's write returns, and its move is
// recognised as the answer by the phase. The search gives up on the engine
// patienceMilliseconds later. An analysis stays an analysis: its closing
// answer is not shown.
void AskForMoveNow(int patienceMilliseconds = kMoveNowPatienceMilliseconds);

// AskForMoveNow, then the command that asks.
void SendMoveNow(const char* command, int patienceMilliseconds = kMoveNowPatienceMilliseconds);

// The engine refused the command that started an analysis: nothing runs in
// it, and the host's stop ends the search at once.
void AnalysisRefused();

// The engine's answer came, its output ended, the analysis was stopped, or
// the engine was closed: the search waits no more (ended) and its wait wakes
// at once.
void EndMoveWait();

// The search ends without the answer it waited for (the engine refused to
// move now, or did not answer in time): the engine, still thinking, owes an
// answer that belongs to no search, and its dialect is told so.
void GiveUpOnAnswer();

}  // namespace cecp
