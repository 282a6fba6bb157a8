// The classic conversation: the protocol as its first version knew it, which
// installed engines rely on. The greeting "kelto" and "xboard"; set-up
// positions in edit mode; "white"/"black" before "go"; pondering with the
// module's own "ponder MOVE", the expected reply held back until the host
// confirms it; "?" to move now; "reset" and, at the end, "new" and "quit".
#include <cstdio>

#include "chess/move_list.h"
#include "engine/engine_settings.h"
#include "engine/transport.h"
#include "host/host_link.h"
#include "host/reporting.h"
#include "protocol/cecp/commands.h"
#include "protocol/cecp/interpret.h"
#include "protocol/dialect.h"
#include "protocol/engine_move.h"
#include "protocol/search_driver.h"
#include "protocol/search_state.h"
#include "protocol/search_wait.h"

namespace cecp {
namespace {

// The classic conversation's own state.
struct Classic : DialectState {
    CecpClock clock;
    // The expected reply of a ponder search, held back until the host
    // confirms it (Eng10) or stops (Eng3).
    PonderMove heldReply;
};

Classic& Of(DialectState* state) { return *static_cast<Classic*>(state); }

DialectState* Open() { return new Classic; }

void Close(DialectState* state) { delete &Of(state); }

bool Greet(DialectState*, char*, std::size_t) {
    SendCommand("kelto\n");
    SendCommand("xboard\n");
    return true;
}

// Sends the held-back ponder move, if there still is one, and "easy"; true
// when there was one.
bool SendPonderMove(Classic& classic) {
    char move[PonderMove::kTextSize];
    if (!classic.heldReply.Take(move)) return false;
    char command[sizeof move + 1];
    std::snprintf(command, sizeof command, "%s\n", move);
    SendCommand(command);
    SendCommand("easy\n");
    return true;
}

bool EngineIdle() { return g_search.engineBusy == 0 || g_host.stopRequested != 0; }

// Sends the clock, the position and the command that starts the search (or
// none, when the position has no legal move or a stop came first). The
// host's Eng3, Eng10 and Eng15 wait until the search has started: their
// commands would fall among the moves of the position.
SearchStart StartSearch(DialectState* state, const SearchRequestView& request) {
    Classic& classic = Of(state);
    // An engine that refused to move now still owes the move of that search:
    // it is waited for (and dropped), so that it cannot end this one. Without
    // ping the conversation has no surer sign that the engine is done.
    if (g_search.engineBusy) WaitForEngineEvent(EngineIdle, kMoveNowPatienceMilliseconds);
    g_search.engineBusy = 0;
    RestartStatusRequests(classic.clock);

    CommandSequence sequence;
    SendClockCommands(classic.clock, request);
    SendPosition(request, classic.heldReply);
    g_search.awaitingMove = 0;
    if (g_host.stopRequested) return SearchStart::kNothing;
    ForgetShownLine();
    SendCommand("post\n");
    SendCommand(g_host.engineSideWhite == 1 ? "white\n" : "black\n");
    if (g_host.stopRequested) return SearchStart::kNothing;
    g_search.awaitingMove = 1;
    char ponder[PonderMove::kTextSize];
    classic.heldReply.Peek(ponder);
    if (HasNoLegalMove(EnginePositionCopy())) {
        g_search.awaitingMove = 0;
        return SearchStart::kNothing;
    }
    if (g_settings.analyzeMode && g_search.analyzing) {
        SendCommand("analyze\n");
    } else if (IsPonderSearch(request) && ponder[0] != '\0') {
        char command[sizeof "ponder " + sizeof ponder + 1];
        std::snprintf(command, sizeof command, "ponder %s\n", ponder);
        SendCommand(command);
        if (g_search.ponderHitEarly.exchange(0) != 0) SendPonderMove(classic);
        return SearchStart::kPondering;
    } else {
        SendCommand("go\n");
    }
    return SearchStart::kSearching;
}

void Tick(DialectState* state) { TickStatusRequests(Of(state).clock); }

void EndSearch(DialectState*) {}

void Stop(DialectState* state) {
    // A search still being set up sees the stop and does not start.
    CommandSequence sequence;
    if (g_search.awaitingMove) {
        if (g_search.analyzing) {
            SendCommand("exit\n");
            g_search.analyzing = 0;
            EndMoveWait();
            return;
        }
        AskForMoveNow();
        SendPonderMove(Of(state));
        SendCommand("?\n");
    }
    if (g_search.analyzing) {
        SendCommand("exit\n");
        g_search.analyzing = 0;
        EndMoveWait();
    }
}

bool PonderHit(DialectState* state) { return SendPonderMove(Of(state)); }

void Reset(DialectState*) {
    CommandSequence sequence;
    SendCommand("reset\n");
}

void TakeMove(void*, const char* move) { TakeEngineMove(move); }

void ReadLine(DialectState* state, const char* line) {
    if (g_search.engineBusy && !g_search.awaitingMove && IsSearchLine(line)) {
        // A line of the search the engine would not cut short: its move is
        // the last of them.
        if (IsMoveLine(line)) {
            g_search.engineBusy = 0;
            NotifyEngineEvent();
        }
        return;
    }
    InterpretCecpLine(line, CecpLines{ThinkingForm::kShort, &Of(state).clock, TakeMove, nullptr});
}

void SayGoodbye(DialectState*) {
    SendCommand("new\n");
    SendCommand("quit\n");
}

}  // namespace

extern const Dialect kClassicDialect = {
    "classic", Open, Close, Greet, StartSearch, Tick, EndSearch, Stop, PonderHit, Reset, ReadLine, SayGoodbye,
};

}  // namespace cecp
