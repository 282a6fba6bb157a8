// Protocol version 2: the greeting "xboard" and "protover 2", the engine's
// features answered one by one, and a conversation that uses what the engine
// announced: setboard, usermove, standard notation, no colour commands, its
// clocks, ping before every search. The engine's game goes on from search to
// search: "new" and the whole game only when a request does not continue it,
// else the new moves alone. Pondering follows the host's model: the engine
// searches the position after the expected reply, and its move waits for the
// host's confirmation; a reply that was not played is taken back ("undo").
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>

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
#include "protocol/cecp/features.h"
#include "protocol/cecp/interpret.h"
#include "protocol/dialect.h"
#include "protocol/engine_game.h"
#include "protocol/engine_move.h"
#include "protocol/engine_options.h"
#include "protocol/line_scanner.h"
#include "protocol/ponder_hold.h"
#include "protocol/request_position.h"
#include "protocol/search_driver.h"
#include "protocol/search_wait.h"

namespace cecp {
namespace {

// The negotiation ends at done=1, two seconds after the greeting when the
// engine has not asked for more time, and ten seconds after its done=0.
constexpr int kFeatureMilliseconds = 2000;
constexpr int kExtendedFeatureMilliseconds = 10000;
// Real engines announce a few dozen features; beyond this many in one open
// the engine floods, and its features are read but no longer answered (an
// answer is a write to the engine for every one).
constexpr int kMostFeatureAnswers = 1000;
// A ponder search that the host gives up on ends within this long.
constexpr int kPonderMissMilliseconds = 1000;

// What the engine announced. Written by the reader; read by host threads
// once the negotiation is over. The texts are written only while the
// negotiation lasts, under the dialect's text lock.
struct Features {
    std::atomic<bool> ping{false};
    std::atomic<bool> setboard{false};
    std::atomic<bool> usermove{false};
    std::atomic<bool> san{false};
    std::atomic<bool> colors{true};
    std::atomic<bool> time{true};
    std::atomic<bool> analyze{true};
    std::atomic<int> done{-1};  // -1 not said, 0 more time asked for, 1 done
    std::atomic<int> answers{0};  // counted by the reader, reset at each open
    std::atomic<std::int64_t> doneZeroAt{0};
    std::atomic<bool> negotiating{false};
    char myname[kNameBufferSize] = {};
    OptionNames options;
};

// The conversation's own state.
struct Conversation {
    std::atomic<int> lastPing{0};
    // The ping whose pong the lines of the current search wait for (0: none):
    // a move or thinking line before it belongs to an earlier search.
    std::atomic<int> awaitedPong{0};
    // The engine has never answered a ping: searches no longer wait for one
    // until it answers.
    std::atomic<bool> pongSilent{false};
    std::atomic<int> pongsSeen{0};
    // Refusals of a move or of "undo" read so far: one that comes between a
    // search's set-up and its pong means that the engine's game is not what
    // it was sent.
    std::atomic<int> gameRefusals{0};
    // The engine refused "undo": a ponder search's reply that was not played
    // is mended with a new game.
    std::atomic<bool> undoRefused{false};
    // Eng9's thread only: the last search's "go" awaits the engine's move in
    // its game, and the start position of that game as the engine has it.
    bool moveOwed = false;
    Position gameStart;
    // The engine would not move now in a search the module gave up on: it
    // still owes that search's move. Only an engine searched without ping
    // is waited for; with ping, its pong tells its lines from the next
    // search's.
    std::atomic<bool> abandonedMoveOwed{false};
};

// Protocol 2's own state, made new for every engine opened.
struct Protocol2 : DialectState {
    Features features;
    Conversation conversation;
    EngineGame game;
    CecpClock clock;
    PonderHold hold;
    // Guards the texts of features.
    std::mutex textMutex;
};

Protocol2& Of(DialectState* state) { return *static_cast<Protocol2*>(state); }

DialectState* Open() { return new Protocol2; }

void Close(DialectState* state) { delete &Of(state); }

// Features that the module uses, or that only tell it what the engine does
// or may be told (the module sends none of those commands). The rest, among
// them memory, smp and egt (which would oblige it to send commands it does
// not have), are rejected.
constexpr std::string_view kAccepted[] = {
    "ping",  "setboard", "playother", "san",  "usermove", "time", "draw", "sigint", "sigterm", "reuse",
    "analyze", "myname", "variants",  "colors", "ics",    "name", "pause", "nps",   "debug",   "done",
    "option",
};

// Names are compared as string views, their lengths first, which settles
// most comparisons without reading a character.
bool Accepted(std::string_view name) {
    for (std::string_view accepted : kAccepted) {
        if (name == accepted) return true;
    }
    return false;
}

// The option's name: the text before " -TYPE".
void RememberOption(Features& f, const char* definition) {
    const char* end = std::strstr(definition, " -");
    f.options.Add(definition, end != nullptr ? static_cast<std::size_t>(end - definition) : std::strlen(definition));
}

// Answers every feature of the line and takes note of those the module uses.
void ReadFeatures(Protocol2& p, const char* line) {
    FeatureReader reader(line);
    Feature feature;
    Features& f = p.features;
    while (reader.Next(&feature)) {
        const std::string_view name(feature.name);
        if (f.answers < kMostFeatureAnswers) {
            char answer[sizeof "rejected " + kFeatureNameSize + 1];
            std::snprintf(answer, sizeof answer, "%s %s\n", Accepted(name) ? "accepted" : "rejected", feature.name);
            SendCommand(answer);
            if (++f.answers == kMostFeatureAnswers) {
                LogNote("the engine floods its features: the rest are read but not answered");
            }
        }
        if (name == "ping") f.ping = FeatureOn(feature);
        else if (name == "setboard") f.setboard = FeatureOn(feature);
        else if (name == "usermove") f.usermove = FeatureOn(feature);
        else if (name == "san") f.san = FeatureOn(feature);
        else if (name == "colors") f.colors = FeatureOn(feature);
        else if (name == "time") f.time = FeatureOn(feature);
        else if (name == "analyze") f.analyze = FeatureOn(feature);
        else if (name == "option" || name == "myname") {
            std::lock_guard lock(p.textMutex);
            if (!f.negotiating) continue;
            if (name[0] == 'o') RememberOption(f, feature.value);
            else CopyText(f.myname, feature.value);
        } else if (name == "done") {
            bool done = FeatureOn(feature);
            // The first done=0 extends the negotiation; more of them do not.
            if (!done && f.done != 1 && f.doneZeroAt == 0) f.doneZeroAt = SteadyMilliseconds();
            f.done = done ? 1 : 0;
        }
    }
    NotifyEngineEvent();
}

bool NegotiationOver(const Features& f) {
    if (f.done == 1) return true;
    std::int64_t doneZeroAt = f.doneZeroAt;
    return doneZeroAt != 0 && SteadyMilliseconds() - doneZeroAt >= kExtendedFeatureMilliseconds;
}

bool Greet(DialectState* state, char* problem, std::size_t size) {
    Protocol2& p = Of(state);
    Features& f = p.features;
    f.negotiating = true;
    SendCommand("xboard\n");
    SendCommand("protover 2\n");
    // Two seconds for the first feature or done; an engine that asks for
    // more time with done=0 is given up to ten after that.
    std::int64_t start = SteadyMilliseconds();
    for (;;) {
        std::int64_t waited = SteadyMilliseconds() - start;
        int left = static_cast<int>(kFeatureMilliseconds - waited);
        if (f.done == 0) {
            left = static_cast<int>(kExtendedFeatureMilliseconds - (SteadyMilliseconds() - f.doneZeroAt));
        }
        if (left <= 0 || WaitForEngineEvent([&f] { return NegotiationOver(f); }, left)) break;
        if (g_engine.exited != 0) break;
    }
    {
        std::lock_guard lock(p.textMutex);
        f.negotiating = false;
    }
    if (g_engine.exited != 0) {
        std::snprintf(problem, size, "the engine ended during the protocol 2 feature negotiation");
        return false;
    }
    if (!f.analyze) g_settings.analyzeMode = 0;
    if (g_settings.engineName[0] == '\0') CopyText(g_settings.engineName, f.myname);
    SendSettingsOptions(f.options, "option %s=%s\n");
    return true;
}

// A move as the engine asked for it: coordinates or standard notation, after
// "usermove" when it asked for that.
void SendMove(const Features& features, const Position& position, MoveWord move) {
    char text[kSanTextSize];
    if (features.san) {
        WriteSan(position, move, text);
    } else {
        MoveText(move, text);
    }
    char command[kSanTextSize + sizeof "usermove \n"];
    std::snprintf(command, sizeof command, "%s%s\n", features.usermove ? "usermove " : "", text);
    SendCommand(command);
}

bool PongArrived(const Conversation& c) { return c.awaitedPong == 0 || StopAsked(); }

// The request's moves from first on, the engine's position following them.
void SendMoves(const Features& features, const SearchRequestView& request, int first, Position* position) {
    int count = request.MoveCount();
    for (int i = first; i < count; ++i) {
        SendMove(features, *position, request.Move(i));
        position->MakeMove(request.Move(i));
    }
}

// A new game: "new", "force", the set-up position (fen: the request's start,
// written once per search) and every move; the time control goes out again,
// and "post" and "easy" (the module decides what the engine ponders on: it
// must not ponder on its own after its move) once.
Position SendNewGame(Protocol2& p, const SearchRequestView& request, const char* fen) {
    SendCommand("new\n");
    SendCommand("force\n");
    Position position = RequestStartPosition(request);
    if (!request.StandardStart()) {
        if (p.features.setboard) {
            char command[kFenTextSize + sizeof "setboard \n"];
            std::snprintf(command, sizeof command, "setboard %s\n", fen);
            SendCommand(command);
        } else {
            SendEditedPosition(request, &position);
        }
    }
    p.conversation.gameStart = position;
    ForgetLevelSent(p.clock);
    SendMoves(p.features, request, 0, &position);
    return position;
}

// The engine's game goes on: "force", the moves to take back, the new moves.
Position SendContinuation(Protocol2& p, const SearchRequestView& request, const EngineGame::Follow& follow) {
    SendCommand("force\n");
    for (int i = 0; i < follow.takeBack; ++i) SendCommand("undo\n");
    Position position = p.conversation.gameStart;
    for (int i = 0; i < follow.firstNew; ++i) position.MakeMove(request.Move(i));
    SendMoves(p.features, request, follow.firstNew, &position);
    return position;
}

// The game (new or continued), the clock, the colour and the clocks of both
// sides; the engine's position and game follow. False when the position has
// no legal move.
bool SendGameAndClock(Protocol2& p, const SearchRequestView& request, const EngineGame::Follow& follow,
                      const char* fen, bool ponder) {
    Position position = follow.continues ? SendContinuation(p, request, follow) : SendNewGame(p, request, fen);
    p.game.Take(request, fen, ponder);
    SetEnginePosition(position);
    g_host.engineSideWhite = position.sideToMove == 0 ? 1 : 0;

    ClockPlan clock = PlanClock(p.clock, request);
    if (clock.level[0] != '\0') SendCommand(clock.level);
    if (!follow.continues) {
        SendCommand("post\n");
        SendCommand("easy\n");
    }
    if (p.features.colors) SendCommand(g_host.engineSideWhite == 1 ? "white\n" : "black\n");
    if (p.features.time && clock.timed) {
        SendTimeCommand("time", clock.centiseconds);
        SendTimeCommand("otim", clock.centiseconds);
    }
    return !HasNoLegalMove(position);
}

// How the request follows on from the engine's game. The game is unknown
// when the last search's move did not come (the engine may make it at any
// time), and a reply to take back needs an engine that takes back moves and
// a pong to show that it did.
EngineGame::Follow PlanGame(Protocol2& p, const SearchRequestView& request, const char* fen, bool ping) {
    Conversation& c = p.conversation;
    if (c.moveOwed && !p.game.EngineMoved()) p.game.Forget();
    c.moveOwed = false;
    EngineGame::Follow follow = p.game.FollowOf(request, fen);
    if (follow.takeBack > 0 && (!ping || c.undoRefused)) follow = EngineGame::Follow{};
    return follow;
}

// Sends the ping that the search's lines wait for; its number is the awaited pong.
void SendPing(Conversation& c) {
    int number = c.lastPing + 1;
    c.lastPing = number;
    c.awaitedPong = number;
    char command[32];
    std::snprintf(command, sizeof command, "ping %d\n", number);
    SendCommand(command);
}

// The engine answers the ping once it has done all that came before it, an
// earlier search included: what it says before that is stale. One that has
// answered pings before is still busy and is searched all the same, its
// lines stale until the pong; one that never has does not know ping.
void AwaitPong(Conversation& c) {
    if (WaitForEngineEvent([&c] { return PongArrived(c); }, kMoveNowPatienceMilliseconds) || StopAsked() ||
        g_engine.exited != 0) {
        return;
    }
    if (c.pongsSeen == 0) {
        c.pongSilent = true;
        c.awaitedPong = 0;
        LogNote("the engine does not answer ping; it is searched without");
    } else {
        LogNote("the engine is still busy; its lines count from its pong on");
    }
}

bool PingUsable(const Protocol2& p) { return p.features.ping && !p.conversation.pongSilent; }

void StartSearch(DialectState* state, const SearchRequestView& request, const SearchPlan& plan) {
    Protocol2& p = Of(state);
    Conversation& c = p.conversation;
    bool ping = PingUsable(p);
    c.abandonedMoveOwed = false;
    RestartStatusRequests(p.clock);
    char fen[kFenTextSize] = "";
    if (!request.StandardStart()) WriteFen(RequestStartPosition(request), 0, 1, fen);
    EngineGame::Follow follow = PlanGame(p, request, fen, ping);
    for (;;) {
        int refusals = c.gameRefusals;
        {
            CommandSequence sequence;
            bool movable = SendGameAndClock(p, request, follow, fen, plan.ponder);
            if (!movable || StopAsked()) return;
            if (ping) SendPing(c);
        }
        if (ping) AwaitPong(c);
        // A continued game that the engine did not take (it refused a move or
        // "undo") is sent again as a new game, once.
        bool refused = c.gameRefusals != refusals;
        if (!(follow.continues && refused && c.awaitedPong == 0 && c.pongsSeen > 0)) break;
        LogNote("the engine refused its game's moves; they are sent again in a new game");
        follow = EngineGame::Follow{};
    }
    CommandSequence sequence;
    bool ponder = plan.ponder && !plan.analyse;
    if (ponder) p.hold.Begin();
    SearchPhase phase = plan.analyse ? SearchPhase::kAnalysing : ponder ? SearchPhase::kPondering : SearchPhase::kSearching;
    bool confirmed = false;
    if (g_engine.exited || !BeginEngineSearch(phase, &confirmed)) {
        c.awaitedPong = 0;
        return;
    }
    if (plan.analyse) {
        SendCommand("analyze\n");
        return;
    }
    if (confirmed) p.hold.ConfirmAtStart();
    c.moveOwed = true;
    SendCommand("go\n");
}

void Tick(DialectState* state) { TickStatusRequests(Of(state).clock); }

void EndSearch(DialectState* state) { Of(state).hold.End(); }

void Stop(DialectState* state) {
    CommandSequence sequence;
    if (CurrentPhase() == SearchPhase::kAnalysing) {
        SendCommand("exit\n");
        EndMoveWait();
        return;
    }
    if (AwaitingAnswer()) Of(state).hold.Stop("?\n", kPonderMissMilliseconds);
}

bool PonderHit(DialectState* state) {
    bool stillSearching = true;
    return Of(state).hold.Confirm(&stillSearching);
}

// The next search tells by its position whether a new game begins.
void Reset(DialectState*) {}

// The engine's move is made in its game, whether the host takes it, holds it
// or drops it (a ponder search on a reply that was not played).
void TakeMoveIntoGame(void* context, const char* move) {
    Protocol2& p = *static_cast<Protocol2*>(context);
    MoveWord played = 0;
    if (RecogniseMoves(move, &played, 1) == 1) p.game.Play(played);
    p.hold.TakeOrHold(move);
}

bool IsPong(const char* line, int* number) {
    Scanner scan(line);
    std::int32_t value = 0;
    if (!(scan.Literal("pong") && scan.Int(&value))) return false;
    *number = value;
    return true;
}

void ReadLine(DialectState* state, const char* line) {
    Protocol2& p = Of(state);
    line = SkipBells(line);
    if (IsFeatureLine(line)) {
        ReadFeatures(p, line);
        return;
    }
    Conversation& c = p.conversation;
    int pong = 0;
    if (IsPong(line, &pong)) {
        c.pongSilent = false;
        ++c.pongsSeen;
        if (pong == c.awaitedPong) {
            c.awaitedPong = 0;
            c.abandonedMoveOwed = false;
            NotifyEngineEvent();
        }
        return;
    }
    // A refused move or "undo" means the engine's game is not what it was
    // sent; other refusals (a command it does not know, such as "post")
    // change no game.
    if (IsRejection(line)) {
        bool undo = std::strstr(line, "undo") != nullptr;
        if (undo) c.undoRefused = true;
        if (undo || IsIllegalMoveLine(line)) ++c.gameRefusals;
    }
    if (IsSearchLine(line)) {
        // The lines of an earlier search, before the pong that follows them.
        if (c.awaitedPong != 0) return;
        // No search waits: these lines belong to none (the one the engine
        // would not cut short, its move last; or a move it makes unasked).
        if (!AwaitingAnswer()) {
            if (c.abandonedMoveOwed) SettleOwedMove(c.abandonedMoveOwed, line);
            return;
        }
    }
    InterpretCecpLine(line, CecpLines{ThinkingForm::kExtended, &p.clock, TakeMoveIntoGame, &p});
}

void SayGoodbye(DialectState*) { SendCommand("quit\n"); }

// An engine searched without ping that would not cut its last search short
// is waited for until that search's move; with ping, its pong tells its
// lines from the next search's.
bool OwesEarlierAnswer(DialectState* state) {
    Protocol2& p = Of(state);
    return p.conversation.abandonedMoveOwed && !PingUsable(p);
}

void HurryEarlierAnswer(DialectState*) {}

void ForgetEarlierAnswer(DialectState* state) { Of(state).conversation.abandonedMoveOwed = false; }

void AnswerAbandoned(DialectState* state) { Of(state).conversation.abandonedMoveOwed = true; }

}  // namespace

extern const Dialect kProtocol2Dialect = {
    "protocol 2", Open,     Close,      Greet,    StartSearch,        Tick,
    EndSearch,    Stop,     PonderHit,  Reset,    ReadLine,           SayGoodbye,
    OwesEarlierAnswer, HurryEarlierAnswer, ForgetEarlierAnswer, AnswerAbandoned,
};

}  // namespace cecp
