// The search: one request from its clock to the engine's move.
#include <cstdio>

#include "chess/move_list.h"
#include "engine/transport.h"
#include "host/adapter_state.h"
#include "host/exports.h"
#include "host/reporting.h"
#include "protocol/commands.h"
#include "protocol/search_request.h"
#include "protocol/search_wait.h"

using cecp::g_state;

namespace {

constexpr int kPassMilliseconds = 100;
constexpr int kPassesPerStatusRequest = 10;
// After "?" an engine that has not moved within this long never will.
constexpr std::int64_t kMoveNowPatienceMilliseconds = 5000;

// Sends the held-back ponder move, if there still is one, and "easy"; true
// when there was one.
bool SendPonderMove() {
    char move[cecp::PonderMove::kTextSize];
    if (!g_state.ponderMove.Take(move)) return false;
    char command[sizeof move + 1];
    std::snprintf(command, sizeof command, "%s\n", move);
    cecp::SendCommand(command);
    cecp::SendCommand("easy\n");
    return true;
}

bool NoMoveWillCome() { return g_state.engineOpen == 0 || g_state.engineExited != 0; }

// Waits for the engine's move in passes of 100 ms, sending the status
// requests of a search without clock about once a second.
void WaitForMove() {
    int passes = kPassesPerStatusRequest;
    for (;;) {
        ++passes;
        if (g_state.statusPolling && g_state.statusRequestsLeft != 0 && passes >= kPassesPerStatusRequest) {
            --g_state.statusRequestsLeft;
            passes = 0;
            cecp::SendCommand(".\n");
        }
        std::uint64_t ticket = cecp::MoveWaitTicket();
        if (g_state.awaitingMove == 0) return;
        cecp::WaitForMoveOrTimeout(ticket, kPassMilliseconds);
        if (g_state.awaitingMove == 0) return;
        std::int64_t askedAt = g_state.moveNowSentAt;
        if (NoMoveWillCome() ||
            (askedAt != 0 && cecp::SteadyMilliseconds() - askedAt >= kMoveNowPatienceMilliseconds)) {
            g_state.awaitingMove = 0;
            return;
        }
    }
}

// Sends the clock, the position and the command that starts the search (or
// none, when the position has no legal move or a stop came first); true when
// that command was the ponder command. The host's Eng3, Eng10 and Eng15 wait
// until the search has started: their commands would fall among the moves of
// the position. Nothing here calls the host, whose answer to a notification
// may be one of those calls.
bool StartSearch(const cecp::SearchRequestView& request) {
    cecp::CommandSequence sequence;
    cecp::SendClockCommands(request);
    cecp::SendPosition(request);
    g_state.awaitingMove = 0;
    if (g_state.stopRequested) return false;
    g_state.lastPvLength = 0;
    g_state.pvReported = 0;
    cecp::SendCommand("post\n");
    cecp::SendCommand(g_state.engineSideWhite == 1 ? "white\n" : "black\n");
    if (g_state.stopRequested) return false;
    g_state.awaitingMove = 1;
    char ponder[cecp::PonderMove::kTextSize];
    g_state.ponderMove.Peek(ponder);
    if (cecp::HasNoLegalMove(cecp::EnginePositionCopy())) {
        g_state.awaitingMove = 0;
    } else if (g_state.analyzeMode && g_state.analyzing) {
        cecp::SendCommand("analyze\n");
    } else if (g_state.ponderMode && request.PonderRequest() && ponder[0] != '\0') {
        char command[sizeof "ponder " + sizeof ponder + 1];
        std::snprintf(command, sizeof command, "ponder %s\n", ponder);
        cecp::SendCommand(command);
        if (g_state.ponderHitEarly.exchange(0) != 0) SendPonderMove();
        return true;
    } else {
        cecp::SendCommand("go\n");
    }
    return false;
}

}  // namespace

extern "C" {

void CECP_CALL Eng9(void* record) {
    if (record == nullptr) return;
    g_state.thinking = 1;
    g_state.stopRequested = 0;
    g_state.moveNowSentAt = 0;
    g_state.ponderHitEarly = 0;
    // The new search is announced before anything is sent, so that every
    // report of the engine's thinking follows it.
    cecp::BeginSearchReport();
    if (StartSearch(cecp::SearchRequestView(record))) {
        ShowDepth(1, 0);
        ShowNodes(0);
    }
    if (g_state.awaitingMove) WaitForMove();
    // The host reads its record once the search is over: the reader thread's
    // last report must be complete by then.
    cecp::SettleReports();
    g_state.thinking = 0;
}

void CECP_CALL Eng3() {
    if (g_state.stopRequested.exchange(1) != 0) return;
    // A search still being set up sees the stop and does not start.
    cecp::CommandSequence sequence;
    if (g_state.awaitingMove) {
        if (g_state.analyzing) {
            cecp::SendCommand("exit\n");
            g_state.analyzing = 0;
            cecp::EndMoveWait();
            return;
        }
        // Stamped before anything is sent: the engine may answer before
        // SendCommand returns, and its move is recognised as the answer to
        // the stop by this stamp.
        g_state.moveNowSentAt = cecp::SteadyMilliseconds();
        SendPonderMove();
        cecp::SendCommand("?\n");
    }
    if (g_state.analyzing) {
        cecp::SendCommand("exit\n");
        g_state.analyzing = 0;
        cecp::EndMoveWait();
    }
}

void CECP_CALL Eng10() {
    cecp::CommandSequence sequence;
    if (SendPonderMove()) return;
    // Eng9 has begun but not yet started the engine's search (which happens
    // under the lock this call holds): the hit is kept for it.
    if (g_state.thinking != 0 && g_state.awaitingMove == 0) g_state.ponderHitEarly = 1;
}

}  // extern "C"
