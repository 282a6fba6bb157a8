#include "protocol/search_driver.h"

#include "engine/engine_process.h"
#include "engine/engine_settings.h"
#include "engine/transport.h"
#include "host/host_link.h"
#include "host/reporting.h"
#include "protocol/dialect.h"
#include "protocol/search_request.h"
#include "protocol/search_state.h"
#include "protocol/search_wait.h"

namespace cecp {

constinit SearchState g_search;

namespace {

constexpr int kPassMilliseconds = 100;

bool NoMoveWillCome() { return g_search.engineOpen == 0 || g_engine.exited != 0; }

// Waits for the engine's answer in passes of 100 ms, letting the dialect
// repeat its requests between them. After a stop the engine is given the
// patience its dialect named; one that has not answered by then never will
// in this search, and what it says later belongs to no search.
void WaitForMove(const DialectUse& use) {
    for (;;) {
        use.dialect().tick(use.state());
        std::uint64_t ticket = MoveWaitTicket();
        if (g_search.awaitingMove == 0) return;
        WaitForMoveOrTimeout(ticket, kPassMilliseconds);
        if (g_search.awaitingMove == 0) return;
        if (NoMoveWillCome()) {
            g_search.awaitingMove = 0;
            return;
        }
        std::int64_t askedAt = g_search.moveNowSentAt;
        if (askedAt != 0 && SteadyMilliseconds() - askedAt >= g_search.moveNowPatience) {
            NoteMoveOwedToNoSearch();
            g_search.awaitingMove = 0;
            return;
        }
    }
}

}  // namespace

bool IsPonderSearch(const SearchRequestView& request) {
    return g_settings.ponderMode && request.PonderRequest() && request.MoveCount() >= 1;
}

void RunSearch(void* record) {
    DialectUse use;
    g_search.thinking = 1;
    g_host.stopRequested = 0;
    g_search.moveNowSentAt = 0;
    g_search.ponderHitEarly = 0;
    g_search.searchRefused = 0;
    // The new search is announced before anything is sent, so that every
    // report of the engine's thinking follows it.
    BeginSearchReport();
    if (!use) {
        g_search.thinking = 0;
        return;
    }
    const Dialect& dialect = use.dialect();
    if (dialect.startSearch(use.state(), SearchRequestView(record)) == SearchStart::kPondering) {
        ReportDepth(1, 0);
        ReportNodes(0);
    }
    if (g_search.awaitingMove) WaitForMove(use);
    dialect.endSearch(use.state());
    // The host reads its record once the search is over: the reader thread's
    // last report must be complete by then.
    SettleReports();
    g_search.thinking = 0;
}

void StopSearch() {
    if (g_host.stopRequested.exchange(1) != 0) return;
    // A search still waiting to start (for a pong, a readyok, a move still
    // owed) ends its wait now, not at its bound.
    NotifyEngineEvent();
    DialectUse use;
    if (use) use.dialect().stop(use.state());
}

void PonderReplyPlayed() {
    DialectUse use;
    if (!use) return;
    // A search starts under this lock: the confirmation comes either before
    // the engine was told to ponder or after.
    CommandSequence sequence;
    if (use.dialect().ponderHit(use.state())) return;
    // Eng9 has begun but not yet started the engine's search: the hit is
    // kept for it.
    if (g_search.thinking != 0 && g_search.awaitingMove == 0) g_search.ponderHitEarly = 1;
}

void AskForMoveNow(int patienceMilliseconds) {
    g_search.moveNowPatience = patienceMilliseconds;
    g_search.moveNowSentAt = SteadyMilliseconds();
}

}  // namespace cecp
