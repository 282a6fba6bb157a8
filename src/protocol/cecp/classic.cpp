// The classic conversation: the protocol as its first version knew it, which
// installed engines rely on. The greeting "kelto" and "xboard"; set-up
// positions in edit mode; "white"/"black" before "go"; pondering with the
// module's own "ponder MOVE", the expected reply held back until the host
// confirms it; "?" to move now; "reset" and, at the end, "new" and "quit".
#include <atomic>
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
#include "protocol/search_wait.h"

namespace cecp {
namespace {

// The classic conversation's own state.
struct Classic : DialectState {
    CecpClock clock;
    // The expected reply of a ponder search, held back until the host
    // confirms it (Eng10) or stops (Eng3).
    PonderMove heldReply;
    // The engine would not move now in a search the module gave up on: it
    // still owes that search's move, the last of its search lines until then.
    std::atomic<bool> abandonedMoveOwed{false};
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

// Sends the clock, the position and the command that starts the search (or
// none, when the position has no legal move or a stop came first). The
// host's Eng3, Eng10 and Eng15 wait until the search has started: their
// commands would fall among the moves of the position.
void StartSearch(DialectState* state, const SearchRequestView& request, const SearchPlan& plan) {
    Classic& classic = Of(state);
    RestartStatusRequests(classic.clock);

    CommandSequence sequence;
    SendClockCommands(classic.clock, request);
    SendPosition(request, plan.ponder, classic.heldReply);
    if (StopAsked()) return;
    SendCommand("post\n");
    SendCommand(g_host.engineSideWhite == 1 ? "white\n" : "black\n");
    char ponder[PonderMove::kTextSize];
    classic.heldReply.Peek(ponder);
    if (HasNoLegalMove(EnginePositionCopy())) return;
    if (plan.analyse) {
        if (BeginEngineSearch(SearchPhase::kAnalysing)) SendCommand("analyze\n");
    } else if (plan.ponder && ponder[0] != '\0') {
        bool confirmed = false;
        if (!BeginEngineSearch(SearchPhase::kPondering, &confirmed)) return;
        char command[sizeof "ponder " + sizeof ponder + 1];
        std::snprintf(command, sizeof command, "ponder %s\n", ponder);
        SendCommand(command);
        if (confirmed) SendPonderMove(classic);
    } else if (BeginEngineSearch(SearchPhase::kSearching)) {
        SendCommand("go\n");
    }
}

void Tick(DialectState* state) { TickStatusRequests(Of(state).clock); }

void EndSearch(DialectState*) {}

void Stop(DialectState* state) {
    // A search still being set up sees the stop and does not start.
    CommandSequence sequence;
    if (CurrentPhase() == SearchPhase::kAnalysing) {
        SendCommand("exit\n");
        EndMoveWait();
        return;
    }
    if (!AwaitingAnswer()) return;
    AskForMoveNow();
    SendPonderMove(Of(state));
    SendCommand("?\n");
}

bool PonderHit(DialectState* state) { return SendPonderMove(Of(state)); }

void Reset(DialectState*) {
    CommandSequence sequence;
    SendCommand("reset\n");
}

void TakeMove(void*, const char* move) { TakeEngineMove(move); }

void ReadLine(DialectState* state, const char* line) {
    Classic& classic = Of(state);
    if (classic.abandonedMoveOwed && !AwaitingAnswer() && IsSearchLine(line)) {
        SettleOwedMove(classic.abandonedMoveOwed, line);
        return;
    }
    InterpretCecpLine(line, CecpLines{ThinkingForm::kShort, &classic.clock, TakeMove, nullptr});
}

void SayGoodbye(DialectState*) {
    SendCommand("new\n");
    SendCommand("quit\n");
}

// Without ping the conversation has no surer sign that the engine is done
// with a search it would not cut short than that search's move.
bool OwesEarlierAnswer(DialectState* state) { return Of(state).abandonedMoveOwed; }

void HurryEarlierAnswer(DialectState*) {}

void ForgetEarlierAnswer(DialectState* state) { Of(state).abandonedMoveOwed = false; }

void AnswerAbandoned(DialectState* state) { Of(state).abandonedMoveOwed = true; }

}  // namespace

extern const Dialect kClassicDialect = {
    "classic",  Open,     Close,      Greet,    StartSearch,        Tick,
    EndSearch,  Stop,     PonderHit,  Reset,    ReadLine,           SayGoodbye,
    OwesEarlierAnswer, HurryEarlierAnswer, ForgetEarlierAnswer, AnswerAbandoned,
};

}  // namespace cecp
