// UCI: "uci" answered by the engine's name, author and options up to
// "uciok"; the settings' options; "isready" answered by "readyok" before the
// first search and after every "ucinewgame". A search is "position" and "go"
// with the clocks in milliseconds; "stop" ends it, "ponderhit" confirms the
// reply a "go ponder" searches on, and the engine's "bestmove" is its answer.
// Every "go" gets exactly one "bestmove": one that answers an earlier search
// is told from the current one by counting.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "chess/move_list.h"
#include "chess/notation.h"
#include "engine/echo.h"
#include "engine/engine_process.h"
#include "engine/engine_settings.h"
#include "engine/transport.h"
#include "host/fixed_text.h"
#include "host/host_link.h"
#include "host/reporting.h"
#include "protocol/cecp/commands.h"
#include "protocol/dialect.h"
#include "protocol/engine_game.h"
#include "protocol/engine_move.h"
#include "protocol/engine_options.h"
#include "protocol/line_scanner.h"
#include "protocol/ponder_hold.h"
#include "protocol/request_position.h"
#include "protocol/search_driver.h"
#include "protocol/search_request.h"
#include "protocol/search_wait.h"
#include "protocol/uci/info.h"

namespace cecp {
namespace {

constexpr int kUciOkMilliseconds = 10000;
constexpr int kReadyMilliseconds = 10000;
constexpr int kMoveCapacity = static_cast<int>(search_request::kMoveCapacity);

// What the engine said of itself during the greeting. The texts are written
// by the reader only while the greeting lasts, under the dialect's text lock.
struct Identity {
    std::atomic<bool> greeting{false};
    std::atomic<bool> uciOk{false};
    std::atomic<int> readyAnswers{0};
    // The engine has never answered isready: it is not waited for until it
    // answers one.
    std::atomic<bool> readySilent{false};
    char name[kNameBufferSize] = {};
    char author[kNameBufferSize] = {};
    OptionNames options;
};

struct Conversation {
    // The "go" count, the number of the last "go" and the search's phase change
    // together under this lock, so that a bestmove read while a search starts
    // is judged against the one state or the other, never half of each.
    std::mutex goMutex;
    // "go"s without their "bestmove" yet: more than one means the engine
    // still answers an earlier search.
    std::atomic<int> bestmovesOwed{0};
    // A bestmove came since the last "go" while an earlier one was owed, and
    // was taken for that earlier search's.
    std::atomic<bool> droppedSinceGo{false};
    // The number that the last "go" was sent under (CommandsSent).
    std::atomic<std::uint64_t> goCommand{0};
    std::atomic<bool> analyseModeOn{false};
    std::atomic<int> rootMoveCount{0};  // legal moves of the searched position
};

// UCI's own state, made new for every engine opened.
struct Uci : DialectState {
    Identity identity;
    Conversation conversation;
    EngineGame game;
    PonderHold hold;
    // The readyok answers a search waits for.
    std::atomic<int> readyAwaited{0};
    // Guards the texts of identity.
    std::mutex textMutex;
};

Uci& Of(DialectState* state) { return *static_cast<Uci*>(state); }

DialectState* Open() { return new Uci; }

void Close(DialectState* state) { delete &Of(state); }

bool StartsWith(const char* text, const char* prefix, const char** rest) {
    std::size_t length = std::strlen(prefix);
    if (std::strncmp(text, prefix, length) != 0) return false;
    *rest = text + length;
    return true;
}

// "option name NAME type ...": the name is what comes before " type ".
void RememberOption(Identity& identity, const char* afterName) {
    const char* end = std::strstr(afterName, " type ");
    identity.options.Add(afterName, end != nullptr ? static_cast<std::size_t>(end - afterName) : std::strlen(afterName));
}

bool OptionAnnounced(const Uci& u, const char* name) { return u.identity.options.Has(name); }

bool ReadyAnswered(const Uci& u) { return u.identity.readyAnswers >= u.readyAwaited; }

// Sends "isready" and waits (bounded, and in a search until the host stops
// it) for its "readyok"; an engine that does not answer is searched all the
// same, and one that has never answered is not waited for again until it
// answers one.
void AwaitReady(Uci& u, bool inSearch) {
    Identity& identity = u.identity;
    u.readyAwaited = identity.readyAnswers + 1;
    SendCommand("isready\n");
    if (identity.readySilent) return;
    auto answered = [&u, inSearch] { return ReadyAnswered(u) || (inSearch && StopAsked()); };
    if (WaitForEngineEvent(answered, kReadyMilliseconds) || g_engine.exited != 0) return;
    if (identity.readyAnswers == 0) {
        identity.readySilent = true;
        LogNote("the engine does not answer isready; it is searched without waiting for it");
    } else {
        LogNote("the engine did not answer isready; it is searched all the same");
    }
}

bool Greet(DialectState* state, char* problem, std::size_t size) {
    Uci& u = Of(state);
    Identity& identity = u.identity;
    {
        std::lock_guard lock(u.textMutex);
        identity.greeting = true;
    }
    SendCommand("uci\n");
    bool answered = WaitForEngineEvent([&identity] { return identity.uciOk.load(); }, kUciOkMilliseconds);
    {
        std::lock_guard lock(u.textMutex);
        identity.greeting = false;
    }
    if (!answered) {
        std::snprintf(problem, size,
                      g_engine.exited != 0 ? "the engine ended before it answered uci with uciok"
                                                : "the engine did not answer uci with uciok within 10 seconds");
        return false;
    }
    if (g_settings.engineName[0] == '\0') CopyText(g_settings.engineName, identity.name);
    if (g_settings.authorName[0] == '\0') CopyText(g_settings.authorName, identity.author);
    SendSettingsOptions(identity.options, "setoption name %s value %s\n");
    if (g_settings.ponderMode && OptionAnnounced(u, "Ponder")) SendCommand("setoption name Ponder value true\n");
    AwaitReady(u, false);
    return true;
}

// "position startpos moves ..." or "position fen FEN moves ...", written
// into one command; the engine's position follows.
void SendPosition(Uci& u, const SearchRequestView& request, const char* fen) {
    char command[sizeof "position fen  moves \n" + kFenTextSize + kMoveCapacity * 6];
    int length = request.StandardStart() ? std::snprintf(command, sizeof command, "position startpos")
                                         : std::snprintf(command, sizeof command, "position fen %s", fen);
    Position position = RequestStartPosition(request);
    int count = request.MoveCount();
    if (count > 0) length += std::snprintf(command + length, sizeof command - length, " moves");
    for (int i = 0; i < count; ++i) {
        char text[8];
        MoveText(request.Move(i), text);
        length += std::snprintf(command + length, sizeof command - length, " %s", text);
        position.MakeMove(request.Move(i));
    }
    std::snprintf(command + length, sizeof command - length, "\n");
    SendCommand(command);
    SetEnginePosition(position);
    g_host.engineSideWhite = position.sideToMove == 0 ? 1 : 0;
    MoveList list;
    int legal = 0;
    int generated = list.Generate(position);
    for (int i = 0; i < generated; ++i) legal += IsLegalMove(position, list.moves[i]) ? 1 : 0;
    u.conversation.rootMoveCount = legal;
}

// The clock in milliseconds: the engine's own time for both sides (the
// request carries no other), the increment, and the moves to go. The host
// counts whole seconds: its 0 is somewhere below one, and engines read a
// time of 0 on both clocks as no limit at all (Stockfish then searches until
// stopped), so a clock below a second goes out as a quarter of one.
void SendGo(const SearchRequestView& request, bool ponder) {
    constexpr long long kLeastClockMilliseconds = 250;
    char command[160];
    const char* mode = ponder ? "go ponder" : "go";
    auto ms = [](std::int32_t seconds) { return static_cast<long long>(seconds) * 1000; };
    auto clock = [&](std::int32_t seconds) {
        long long milliseconds = ms(seconds);
        return milliseconds < kLeastClockMilliseconds ? kLeastClockMilliseconds : milliseconds;
    };
    switch (request.ClockMode()) {
    case kClockIncrement:
        std::snprintf(command, sizeof command, "%s wtime %lld btime %lld winc %lld binc %lld\n", mode,
                      clock(request.TimeLeft()), clock(request.TimeLeft()), ms(request.Increment()),
                      ms(request.Increment()));
        break;
    case kClockMovesInTime:
        std::snprintf(command, sizeof command, "%s wtime %lld btime %lld movestogo %d\n", mode,
                      clock(request.TimeLeft()), clock(request.TimeLeft()), static_cast<int>(request.MovesToGo()));
        break;
    default:
        std::snprintf(command, sizeof command, "go infinite\n");
        break;
    }
    SendCommand(command);
}

void SetAnalyseMode(Uci& u, bool on) {
    if (!OptionAnnounced(u, "UCI_AnalyseMode") || u.conversation.analyseModeOn == on) return;
    u.conversation.analyseModeOn = on;
    SendCommand(on ? "setoption name UCI_AnalyseMode value true\n" : "setoption name UCI_AnalyseMode value false\n");
}

void StartSearch(DialectState* state, const SearchRequestView& request, const SearchPlan& plan) {
    Uci& u = Of(state);
    Conversation& c = u.conversation;
    if (StopAsked() || g_engine.exited) return;

    bool noClock = request.ClockMode() != kClockIncrement && request.ClockMode() != kClockMovesInTime;
    bool ponder = !noClock && plan.ponder;

    // A new game only when the request does not go on with the engine's: a
    // ponder search's reply that was not played is no new game, the next
    // position leaves it out.
    char fen[kFenTextSize] = "";
    if (!request.StandardStart()) WriteFen(RequestStartPosition(request), 0, 1, fen);
    if (!u.game.FollowOf(request, fen).continues) {
        SendCommand("ucinewgame\n");
        AwaitReady(u, true);
    }
    u.game.Take(request, fen, ponder);

    CommandSequence sequence;
    SetAnalyseMode(u, plan.analyse);
    SendPosition(u, request, fen);
    if (c.rootMoveCount == 0) return;
    if (ponder) u.hold.Begin();
    SearchPhase phase = plan.analyse ? SearchPhase::kAnalysing : ponder ? SearchPhase::kPondering : SearchPhase::kSearching;
    bool confirmed = false;
    {
        std::lock_guard lock(c.goMutex);
        if (!BeginEngineSearch(phase, &confirmed)) return;
        c.droppedSinceGo = false;
        c.goCommand = CommandsSent() + 1;
        ++c.bestmovesOwed;
    }
    if (confirmed) u.hold.ConfirmAtStart();
    SendGo(request, ponder);
    if (confirmed) SendCommand("ponderhit\n");
}

void Tick(DialectState*) {}

void EndSearch(DialectState* state) { Of(state).hold.End(); }

void Stop(DialectState* state) {
    CommandSequence sequence;
    if (AwaitingAnswer()) Of(state).hold.Stop("stop\n", kMoveNowPatienceMilliseconds);
}

bool PonderHit(DialectState* state) {
    bool stillSearching = true;
    if (!Of(state).hold.Confirm(&stillSearching)) return false;
    if (stillSearching) SendCommand("ponderhit\n");
    return true;
}

// The next search tells by its position whether a new game begins.
void Reset(DialectState*) {}

// "bestmove MOVE [ponder MOVE]": the answer to the last "go" ends its search;
// an answer to an earlier one is dropped.
void ReadBestMove(Uci& u, const char* rest) {
    Conversation& c = u.conversation;
    bool answersNoGo = false;
    bool answersSearch = false;
    {
        std::lock_guard lock(c.goMutex);
        int owed = c.bestmovesOwed;
        // Read before the last "go" was sent, and with only that one owed: an
        // answer to no "go" at all (one that an engine sends after readyok,
        // say). With more owed, it answers an earlier one.
        answersNoGo = owed == 1 && CommandsSentBeforeLine() < c.goCommand;
        if (!answersNoGo && owed > 0) {
            c.bestmovesOwed = owed - 1;
            if (owed > 1) c.droppedSinceGo = true;
            answersSearch = owed == 1 && AwaitingAnswer();
        }
    }
    if (answersNoGo) {
        LogNote("a bestmove that came before the last go is dropped");
        return;
    }
    NotifyEngineEvent();
    if (!answersSearch) return;
    char move[16] = "";
    char ponder[16] = "";
    Scanner scan(rest);
    scan.Word(move, sizeof move);
    // An analysis ends with the engine's move, which is no answer to show.
    if (std::strcmp(move, "(none)") == 0 || std::strcmp(move, "0000") == 0 || move[0] == '\0' ||
        CurrentPhase() == SearchPhase::kAnalysing) {
        EndMoveWait();
        return;
    }
    // The move and the reply the engine expects: the host ponders on it when
    // the last line shown does not begin with the move.
    char answer[sizeof move + sizeof ponder];
    char keyword[sizeof "ponder" + 1] = "";
    if (scan.Word(keyword, sizeof keyword) && std::strcmp(keyword, "ponder") == 0 && scan.Word(ponder, sizeof ponder)) {
        std::snprintf(answer, sizeof answer, "%s %s", move, ponder);
    } else {
        CopyText(answer, move);
    }
    u.hold.TakeOrHold(answer);
}

// The root move the engine is on; its number, and the legal moves there.
void ShowCurrentMove(const Uci& u, const UciInfo& info) {
    MoveWord move = 0;
    if (RecogniseMoves(info.currentMove, &move, 1) != 1) return;
    ReportCurrentMove(move, static_cast<std::int16_t>(info.currentMoveNumber),
             static_cast<std::int16_t>(u.conversation.rootMoveCount));
}

// The protocol's mate convention, which the reports map into the host's band.
std::int32_t ScoreOf(const UciInfo& info) {
    if (!info.mate) return info.score;
    constexpr std::int32_t kMate = 100000, kFarthest = 99999;
    std::int32_t moves = info.score > kFarthest ? kFarthest : (info.score < -kFarthest ? -kFarthest : info.score);
    return moves > 0 ? kMate + moves : -kMate + moves;
}

void ReadInfo(const Uci& u, const char* line) {
    // Only the search under way speaks: lines of an earlier one (also while
    // the next waits for its bestmove), and the other lines of a multi-line
    // search, are passed over.
    if (u.conversation.bestmovesOwed != 1 || !AwaitingAnswer()) return;
    UciInfo info;
    if (!ReadUciInfo(line, &info) || info.isString || info.multipv != 1) return;
    if (info.hasDepth && info.depth > g_host.reportedDepth) {
        ReportDepth(info.depth, 0);
        AllowMainLineRepeat();
    }
    if (info.hasNodes) ReportNodes(info.nodes);
    if (info.currentMove[0] != '\0') ShowCurrentMove(u, info);
    if (info.mainLine == nullptr || !info.hasScore || info.bound) return;
    std::int32_t score = ScoreOf(info);
    // Rounded to the nearest second without adding to the milliseconds, which
    // may stand at the type's end.
    std::int64_t seconds = info.hasTime ? info.milliseconds / 1000 + (info.milliseconds % 1000 >= 500 ? 1 : 0) : 0;
    std::int32_t time = seconds > 0x7fffffff ? 0x7fffffff : static_cast<std::int32_t>(seconds < 0 ? 0 : seconds);
    RememberLineScoreAndTime(score, time);
    g_host.pvReported = 1;
    ReportMainLine(info.mainLine, score, time);
}

void ReadGreeting(Uci& u, const char* line) {
    const char* rest = nullptr;
    std::lock_guard lock(u.textMutex);
    Identity& identity = u.identity;
    if (!identity.greeting) return;
    if (StartsWith(line, "id name ", &rest)) {
        CopyText(identity.name, rest);
    } else if (StartsWith(line, "id author ", &rest)) {
        CopyText(identity.author, rest);
    } else if (StartsWith(line, "option name ", &rest)) {
        RememberOption(identity, rest);
    }
}

void ReadLine(DialectState* state, const char* line) {
    Uci& u = Of(state);
    while (*line == ' ' || *line == '\t') ++line;
    const char* rest = nullptr;
    if (StartsWith(line, "info", &rest) && (*rest == ' ' || *rest == '\0')) {
        ReadInfo(u, line);
    } else if (StartsWith(line, "bestmove", &rest) && (*rest == ' ' || *rest == '\0')) {
        ReadBestMove(u, rest);
    } else if (std::strcmp(line, "readyok") == 0) {
        ++u.identity.readyAnswers;
        u.identity.readySilent = false;
        NotifyEngineEvent();
    } else if (std::strcmp(line, "uciok") == 0) {
        u.identity.uciOk = true;
        NotifyEngineEvent();
    } else {
        ReadGreeting(u, line);
    }
}

void SayGoodbye(DialectState* state) {
    if (Of(state).conversation.bestmovesOwed > 0) SendCommand("stop\n");
    SendCommand("quit\n");
}

// Every "go" gets one bestmove, however late: an engine still busy with an
// earlier search is told to stop, and its answers are counted.
bool OwesEarlierAnswer(DialectState* state) { return Of(state).conversation.bestmovesOwed > 0; }

void HurryEarlierAnswer(DialectState*) { SendCommand("stop\n"); }

// One that has not answered by the wait's end is searched all the same, its
// lines counting once it has: a late bestmove must not end this search. Only
// an engine that has answered since the last "go" (taken for an earlier
// search's) and owes nothing after all had lost a bestmove: the count starts
// anew.
void ForgetEarlierAnswer(DialectState* state) {
    Conversation& c = Of(state).conversation;
    if (StopAsked() || g_engine.exited != 0) return;
    if (c.droppedSinceGo) {
        {
            std::lock_guard lock(c.goMutex);
            c.bestmovesOwed = 0;
        }
        LogNote("the engine lost a bestmove; its answers are counted anew");
    } else {
        LogNote("the engine did not answer stop with bestmove; its lines count once it has");
    }
}

// The count already knows the answer is owed.
void AnswerAbandoned(DialectState*) {}

}  // namespace

extern const Dialect kUciDialect = {
    "UCI",     Open,     Close,      Greet,    StartSearch,        Tick,
    EndSearch, Stop,     PonderHit,  Reset,    ReadLine,           SayGoodbye,
    OwesEarlierAnswer, HurryEarlierAnswer, ForgetEarlierAnswer, AnswerAbandoned,
};

}  // namespace cecp
