#include "protocol/search_driver.h"

#include "engine/engine_process.h"
#include "engine/engine_settings.h"
#include "engine/transport.h"
#include "host/host_link.h"
#include "host/reporting.h"
#include "protocol/dialect.h"
#include "protocol/search_request.h"
#include "protocol/search_wait.h"

namespace cecp {

constinit SearchState g_search;

namespace {

constexpr int kPassMilliseconds = 100;

bool NoMoveWillCome() { return g_search.engineOpen == 0 || g_engine.exited != 0; }

// Moves the phase from one of the given phases to next; false when it was
// in none of them (another thread moved it first).
template <std::size_t N>
bool MovePhase(const SearchPhase (&from)[N], SearchPhase next) {
    SearchPhase phase = g_search.phase.load();
    for (;;) {
        bool listed = false;
        for (SearchPhase candidate : from) listed = listed || candidate == phase;
        if (!listed) return false;
        if (g_search.phase.compare_exchange_weak(phase, next)) return true;
    }
}

// An engine still busy with a search the module gave up on is asked for that
// search's answer and given time to give it, so that the answer cannot be
// taken for this search's. One that has not answered by then is searched all
// the same; its dialect knows what to make of the late answer.
void WaitForEarlierAnswer(const DialectUse& use) {
    const Dialect& dialect = use.dialect();
    DialectState* state = use.state();
    if (!dialect.owesEarlierAnswer(state)) return;
    g_search.phase = SearchPhase::kWaitingForEngine;
    dialect.hurryEarlierAnswer(state);
    WaitForEngineEvent([&] { return !dialect.owesEarlierAnswer(state) || StopAsked(); },
                       kMoveNowPatienceMilliseconds);
    if (dialect.owesEarlierAnswer(state)) dialect.forgetEarlierAnswer(state);
    g_search.phase = SearchPhase::kPreparing;
}

// Waits for the engine's answer in passes of 100 ms, letting the dialect
// repeat its requests between them. After a request to move now or to stop
// the engine is given the patience its dialect named; one that has not
// answered by then never will in this search.
void WaitForAnswer(const DialectUse& use) {
    for (;;) {
        use.dialect().tick(use.state());
        std::uint64_t ticket = MoveWaitTicket();
        if (!AwaitingAnswer()) return;
        WaitForMoveOrTimeout(ticket, kPassMilliseconds);
        if (!AwaitingAnswer()) return;
        if (NoMoveWillCome()) {
            EndMoveWait();
            return;
        }
        std::int64_t deadline = g_search.answerDeadline;
        if (deadline != 0 && SteadyMilliseconds() >= deadline) {
            GiveUpOnAnswer();
            return;
        }
    }
}

}  // namespace

SearchPlan PlanSearch(const SearchRequestView& request) {
    SearchPlan plan;
    bool clock = request.ClockMode() == kClockIncrement || request.ClockMode() == kClockMovesInTime;
    plan.analyse = !clock && g_settings.analyzeMode != 0;
    plan.ponder = g_settings.ponderMode != 0 && request.PonderRequest() && request.MoveCount() >= 1;
    return plan;
}

bool SearchRunning() { return g_search.phase.load() != SearchPhase::kIdle; }

bool AwaitingAnswer() {
    switch (g_search.phase.load()) {
    case SearchPhase::kSearching:
    case SearchPhase::kPondering:
    case SearchPhase::kAnalysing:
    case SearchPhase::kRefused:
    case SearchPhase::kMovingNow:
        return true;
    default:
        return false;
    }
}

bool StopAsked() { return g_host.stopRequested != 0; }

void RunSearch(void* record) {
    g_search.phase = SearchPhase::kPreparing;
    g_search.begunAs = SearchPhase::kIdle;
    g_search.answerDeadline = 0;
    g_search.ponderHitEarly = 0;
    g_host.stopRequested = 0;
    DialectUse use;
    // The new search is announced before anything is sent, so that every
    // report of the engine's thinking follows it.
    BeginSearchReport();
    if (use) {
        WaitForEarlierAnswer(use);
        SearchRequestView request(record);
        use.dialect().startSearch(use.state(), request, PlanSearch(request));
        switch (g_search.begunAs.load()) {
        case SearchPhase::kIdle:
            ForgetShownLine();
            break;
        case SearchPhase::kPondering:
            ReportDepth(1, 0);
            ReportNodes(0);
            break;
        default:
            break;
        }
        if (AwaitingAnswer()) WaitForAnswer(use);
        use.dialect().endSearch(use.state());
        // The host reads its record once the search is over: the reader
        // thread's last report must be complete by then.
        SettleReports();
    }
    g_search.phase = SearchPhase::kIdle;
}

bool BeginEngineSearch(SearchPhase phase, bool* confirmed) {
    if (StopAsked()) return false;
    bool early = phase == SearchPhase::kPondering && g_search.ponderHitEarly.exchange(0) != 0;
    if (confirmed != nullptr) *confirmed = early;
    ForgetShownLine();
    g_search.begunAs = phase;
    g_search.phase = early ? SearchPhase::kSearching : phase;
    return true;
}

void StopSearch() {
    if (g_host.stopRequested.exchange(1) != 0) return;
    // A search still waiting to start (for a pong, a readyok, a move still
    // owed) ends its wait now, not at its bound.
    NotifyEngineEvent();
    // Nothing runs in an engine that refused the search: there is nothing to
    // stop.
    if (g_search.phase.load() == SearchPhase::kRefused) {
        EndMoveWait();
        return;
    }
    DialectUse use;
    if (use) use.dialect().stop(use.state());
}

void PonderReplyPlayed() {
    DialectUse use;
    if (!use) return;
    // A search starts under this lock: the confirmation comes either before
    // the engine was told to ponder or after.
    CommandSequence sequence;
    if (use.dialect().ponderHit(use.state())) {
        MovePhase({SearchPhase::kPondering}, SearchPhase::kSearching);
        return;
    }
    // Eng9 has begun but not yet started the engine's search: the search
    // begins confirmed.
    SearchPhase phase = g_search.phase.load();
    if (phase == SearchPhase::kWaitingForEngine || phase == SearchPhase::kPreparing) g_search.ponderHitEarly = 1;
}

void AskForMoveNow(int patienceMilliseconds) {
    g_search.answerDeadline = SteadyMilliseconds() + patienceMilliseconds;
    MovePhase({SearchPhase::kSearching, SearchPhase::kPondering}, SearchPhase::kMovingNow);
}

void SendMoveNow(const char* command, int patienceMilliseconds) {
    AskForMoveNow(patienceMilliseconds);
    SendCommand(command);
}

void AnalysisRefused() { MovePhase({SearchPhase::kAnalysing}, SearchPhase::kRefused); }

void GiveUpOnAnswer() {
    // An engine that refused the search owes nothing.
    if (g_search.phase.load() != SearchPhase::kRefused) {
        DialectUse use;
        if (use) use.dialect().answerAbandoned(use.state());
    }
    EndMoveWait();
}

void EndMoveWait() {
    MovePhase({SearchPhase::kSearching, SearchPhase::kPondering, SearchPhase::kAnalysing, SearchPhase::kRefused,
               SearchPhase::kMovingNow},
              SearchPhase::kEnded);
    WakeSearch();
}

}  // namespace cecp
