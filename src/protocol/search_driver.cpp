// The search as the host sees it: one request from its start to the engine's
// answer, however the engine's dialect says it.
#include "host/adapter_state.h"
#include "host/exports.h"
#include "host/reporting.h"
#include "protocol/dialect.h"
#include "protocol/search_request.h"
#include "protocol/search_wait.h"

using cecp::g_state;

namespace {

constexpr int kPassMilliseconds = 100;

bool NoMoveWillCome() { return g_state.engineOpen == 0 || g_state.engineExited != 0; }

// Waits for the engine's answer in passes of 100 ms, letting the dialect
// repeat its requests between them. After a stop the engine is given the
// patience its dialect named; one that has not answered by then never will
// in this search, and what it says later belongs to no search.
void WaitForMove(const cecp::Dialect& dialect) {
    for (;;) {
        dialect.tick();
        std::uint64_t ticket = cecp::MoveWaitTicket();
        if (g_state.awaitingMove == 0) return;
        cecp::WaitForMoveOrTimeout(ticket, kPassMilliseconds);
        if (g_state.awaitingMove == 0) return;
        if (NoMoveWillCome()) {
            g_state.awaitingMove = 0;
            return;
        }
        std::int64_t askedAt = g_state.moveNowSentAt;
        if (askedAt != 0 && cecp::SteadyMilliseconds() - askedAt >= g_state.moveNowPatience) {
            cecp::NoteMoveOwedToNoSearch();
            g_state.awaitingMove = 0;
            return;
        }
    }
}

}  // namespace

extern "C" {

void CECP_CALL Eng9(void* record) {
    if (record == nullptr) return;
    const cecp::Dialect& dialect = cecp::OpenDialect();
    g_state.thinking = 1;
    g_state.stopRequested = 0;
    g_state.moveNowSentAt = 0;
    g_state.ponderHitEarly = 0;
    g_state.searchRefused = 0;
    // The new search is announced before anything is sent, so that every
    // report of the engine's thinking follows it.
    cecp::BeginSearchReport();
    if (dialect.startSearch(cecp::SearchRequestView(record)) == cecp::SearchStart::kPondering) {
        ShowDepth(1, 0);
        ShowNodes(0);
    }
    if (g_state.awaitingMove) WaitForMove(dialect);
    dialect.endSearch();
    // The host reads its record once the search is over: the reader thread's
    // last report must be complete by then.
    cecp::SettleReports();
    g_state.thinking = 0;
}

void CECP_CALL Eng3() {
    if (g_state.stopRequested.exchange(1) != 0) return;
    // A search still waiting to start (for a pong, a readyok, a move still
    // owed) ends its wait now, not at its bound.
    cecp::NotifyEngineEvent();
    cecp::OpenDialect().stop();
}

void CECP_CALL Eng10() { cecp::OpenDialect().ponderHit(); }

}  // extern "C"

namespace cecp {

void AskForMoveNow(int patienceMilliseconds) {
    g_state.moveNowPatience = patienceMilliseconds;
    g_state.moveNowSentAt = SteadyMilliseconds();
}

}  // namespace cecp
