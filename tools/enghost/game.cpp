#include "game.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <deque>
#include <functional>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "interrupt.h"
#include "output.h"
#include "pgn.h"

using Clock = std::chrono::steady_clock;

namespace enghost {

namespace {

// A move past its time plus this margin is asked for with Eng3; the
// module's own wait adds up to 100 ms to every move.
std::int64_t MarginMs(std::int64_t leftMs) { return 1000 + leftMs / 20; }

// Whether the engine searched for its move. A move it played without a line
// of thinking (from its book, or the only legal reply) reaches the host as
// the module reports such a move: one main line, of depth 1 and 1 node.
bool Searched(const Progress& progress) {
    return progress.lines > 1 || progress.depth > 1 || progress.nodes > 1;
}

// After Eng3, how long an engine has to come up with its move.
constexpr std::int64_t kGiveUpMs = 5000;

const char* kColours[2] = {"White", "Black"};

// A side as the game sees it while it is played.
struct Player {
    const GameSide* side = nullptr;
    const char* colour = "";
    std::optional<SideClock> clock;
    bool pondering = false;       // a ponder search runs
    cecp::MoveWord expected = 0;  // the reply it ponders on
    PonderStats ponder;
};

// What the terminal shows while an engine thinks: its search on this board.
struct LiveView {
    std::mutex mutex;
    const EngineSession* engine = nullptr;
    std::string label;
    Board board;
};

std::string ClockText(std::int64_t ms) {
    const std::int64_t seconds = ms / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

bool OnlyKing(const Board& board, bool white) {
    for (int square = 0; square < cecp::kSquareCount; ++square) {
        const int code = board.position().squares[square];
        if (code != 0 && cecp::IsBlack(code) != !white && cecp::TypeOf(code) != cecp::kKing) return false;
    }
    return true;
}

GameOutcome Ending(const std::string& result, const std::string& reason, const std::string& termination,
                   EndKind kind) {
    GameOutcome outcome;
    outcome.result = result;
    outcome.reason = reason;
    outcome.termination = termination;
    outcome.kind = kind;
    return outcome;
}

GameOutcome Loss(int loser, const std::string& why, const std::string& termination, EndKind kind) {
    GameOutcome outcome = Ending(loser == 0 ? "0-1" : "1-0", why, termination, kind);
    if (kind == EndKind::kFault) outcome.faultySide = loser;
    return outcome;
}

// A flag fall loses, unless the opponent has nothing left to mate with.
GameOutcome TimeLoss(int loser, const Board& board, const std::string& why) {
    if (OnlyKing(board, loser != 0))
        return Ending("1/2-1/2", why + "; drawn, as the opponent has only the king left", "time forfeit",
                      EndKind::kClock);
    return Loss(loser, why, "time forfeit", EndKind::kClock);
}

GameOutcome Interruption() { return Ending("*", "interrupted", "unterminated", EndKind::kInterrupted); }
GameOutcome LeftUnfinished(const std::string& why) { return Ending("*", why, "abandoned", EndKind::kUnfinished); }

// What a person types, read on a thread of its own from the first prompt on,
// so that a "quit" typed while the engine thinks ends the game at once;
// other lines wait for the person's turn. One reader for the process, as
// there is one standard input; it is never joined (a read of a terminal
// cannot be cut short), and the process ends with it blocked.
class TypedLines {
public:
    static TypedLines& Get() {
        static TypedLines* const lines = [] {
            auto* created = new TypedLines;
            std::thread([created] { created->Read(); }).detach();
            return created;
        }();
        return *lines;
    }
    // The next line, waited for; nothing at the end of the input.
    std::optional<std::string> Next() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !lines_.empty() || ended_; });
        if (lines_.empty()) return std::nullopt;
        std::string line = std::move(lines_.front());
        lines_.pop_front();
        return line;
    }
    // A "quit" waits among the lines typed.
    bool QuitTyped() {
        std::lock_guard lock(mutex_);
        return std::find(lines_.begin(), lines_.end(), "quit") != lines_.end();
    }

private:
    void Read() {
        for (std::string line; std::getline(std::cin, line);) {
            while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
            while (!line.empty() && line.front() == ' ') line.erase(0, 1);
            std::lock_guard lock(mutex_);
            lines_.push_back(std::move(line));
            changed_.notify_all();
        }
        std::lock_guard lock(mutex_);
        ended_ = true;
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> lines_;
    bool ended_ = false;
};

void StopPondering(Player& player) {
    if (!player.side->engine || !player.pondering) return;
    player.pondering = false;
    EngineSession& engine = *player.side->engine;
    if (engine.Searching()) {
        engine.Stop();
        engine.WaitDone(static_cast<int>(kGiveUpMs));
    }
}

// A person's move, or the end of the game they choose; nothing when the
// game goes on with *move. The board, from the person's side with the last
// move marked, comes before the first prompt and on "board".
std::optional<GameOutcome> HumanMove(Player& mover, int index, const Board& board, cecp::MoveWord lastMove,
                                     cecp::MoveWord* move, std::string* detail) {
    const auto began = Clock::now();
    std::string error;
    const std::string diagram = board.Diagram(index == 0, lastMove);
    PrintLine(diagram.substr(0, diagram.size() - 1));
    for (;;) {
        std::cout << mover.colour << " to move (" << ClockText(mover.clock->LeftMs())
                  << " left; a move, or resign, quit, moves, board): " << std::flush;
        const std::optional<std::string> typed = TypedLines::Get().Next();
        if (!typed) return LeftUnfinished("the game was left unfinished at the end of the input");
        const std::string& line = *typed;
        if (line.empty()) continue;
        if (line == "resign") return Loss(index, std::string(mover.colour) + " resigns", "normal", EndKind::kRules);
        if (line == "quit") return LeftUnfinished("the game was left unfinished");
        if (line == "board") {
            PrintLine(diagram.substr(0, diagram.size() - 1));
            continue;
        }
        if (line == "moves") {
            std::string list;
            for (cecp::MoveWord legal : board.LegalMoves()) list += " " + board.San(legal);
            PrintLine("legal moves:" + list);
            continue;
        }
        auto parsed = board.ParseTypedMove(line, &error);
        if (!parsed) {
            PrintLine(error);
            continue;
        }
        *move = *parsed;
        break;
    }
    const std::int64_t elapsed = MillisecondsSince(began);
    if (!mover.clock->Charge(elapsed)) return TimeLoss(index, board, std::string(mover.colour) + " lost on time");
    *detail = "(" + SecondsText(elapsed) + ")";
    return std::nullopt;
}

// A game as it is played.
struct Game {
    Game(const GameSetup& gameSetup, const GameSide* gameSides) : setup(gameSetup), sides(gameSides) {
        for (int i = 0; i < 2; ++i) {
            players[i].side = &sides[i];
            players[i].colour = kColours[i];
            players[i].clock.emplace(setup.control);
        }
        board = setup.start;
        pgn.firstMoveNumber = setup.start.FullMoveNumber();
        pgn.blackMovesFirst = !setup.start.WhiteToMove();
    }

    const GameSetup& setup;
    const GameSide* sides;
    Player players[2];
    Board board;
    std::vector<cecp::MoveWord> moves;
    PgnGame pgn;
    LiveView view;
    // When the last move was made: a pondering engine's clock runs from its
    // opponent's move, as it would at a board.
    Clock::time_point moveMadeAt = Clock::now();
};

// A move about to be played: the PGN's comment and the words shown with it.
struct MoveToPlay {
    cecp::MoveWord move = 0;
    std::string comment, detail;
};

// The thinking of the engine on move, shown on the status line.
void ShowThinking(Game& game) {
    LiveView& view = game.view;
    for (const Player& player : game.players) {
        EngineSession* engine = player.side->engine;
        if (!engine) continue;
        engine->SetListener([&view, engine](std::uint32_t, const Progress& progress) {
            std::lock_guard lock(view.mutex);
            if (view.engine != engine || progress.depth == 0) return;
            ShowStatus(view.label + " depth " + std::to_string(progress.depth) + "  " + ScoreText(progress.score) +
                       "  " + CountText(progress.nodes) + " nodes  " +
                       view.board.SanLine(progress.line.data(), static_cast<int>(progress.line.size())));
        });
    }
}

// The opening's moves, played at once; an ending when one is not legal.
std::optional<GameOutcome> PlayOpening(Game& game) {
    for (cecp::MoveWord move : game.setup.opening) {
        if (!game.board.IsLegal(move))
            return Ending("*", "the opening's move " + CoordinateText(move) + " is not legal", "unterminated",
                          EndKind::kUnfinished);
        game.pgn.moves.push_back({game.board.San(move), ""});
        game.board.Play(move);
        game.moves.push_back(move);
    }
    return std::nullopt;
}

// The end of the game before the next move: by the rules, at a limit, or by
// an interruption.
std::optional<GameOutcome> EndBeforeMove(const Game& game) {
    const Board& board = game.board;
    const GameEnd end = board.Adjudicate();
    if (end == GameEnd::kCheckmate)
        return Loss(board.WhiteToMove() ? 0 : 1, std::string(board.WhiteToMove() ? "Black" : "White") + " mates",
                    "normal", EndKind::kRules);
    if (end != GameEnd::kNone)
        return Ending("1/2-1/2", std::string("drawn by ") + GameEndText(end), "normal", EndKind::kRules);
    const int played = static_cast<int>(game.moves.size());
    if (played >= SearchRecord::kMoveCapacity)
        return Ending("*", "stopped: the host's search request holds no more than 512 moves", "unterminated",
                      EndKind::kUnfinished);
    if (game.setup.maxMoves > 0 && played >= 2 * game.setup.maxMoves)
        return Ending("*", "stopped after " + std::to_string(game.setup.maxMoves) + " moves each", "unterminated",
                      EndKind::kUnfinished);
    if (Interrupted()) return Interruption();
    return std::nullopt;
}

// Settles the ponder search of a side that pondered, now that its opponent
// has moved: a hit lets the search go on as the move's (*running), a miss
// stops it. An ending when the engine does not stop.
std::optional<GameOutcome> SettlePonder(Game& game, int index, bool* running, std::string* detail) {
    Player& mover = game.players[index];
    EngineSession& engine = *mover.side->engine;
    mover.pondering = false;
    if (!engine.Searching()) return std::nullopt;
    if (!game.moves.empty() && game.moves.back() == mover.expected) {
        engine.PonderHit();
        ++mover.ponder.hits;
        *running = true;
        *detail = "ponder hit, ";
        return std::nullopt;
    }
    ++mover.ponder.misses;
    engine.Stop();
    if (engine.WaitDone(static_cast<int>(kGiveUpMs))) return std::nullopt;
    return Loss(index, std::string(mover.colour) + "'s engine did not stop pondering when told to", "time forfeit",
                EndKind::kFault);
}

// The ending a search brings about: no move, an illegal one, or one too late.
std::optional<GameOutcome> JudgeSearch(const SearchOutcome& outcome, const Board& board, int index,
                                       const std::string& colour) {
    switch (outcome.end) {
    case SearchEnd::kInterrupted: return Interruption();
    case SearchEnd::kQuit: return LeftUnfinished("the game was left unfinished while " + colour + "'s engine thought");
    case SearchEnd::kDied:
        return Loss(index, colour + "'s engine died during its search", "abandoned", EndKind::kFault);
    case SearchEnd::kStuck:
        return Loss(index, colour + "'s engine did not move, not even when told to move at once", "time forfeit",
                    EndKind::kFault);
    case SearchEnd::kNoMove:
        return Loss(index,
                    colour + "'s engine answered with no move that the module recognised "
                             "(an illegal or unreadable move)",
                    "rules infraction", EndKind::kFault);
    case SearchEnd::kMove: break;
    }
    if (!board.IsLegal(outcome.move))
        return Loss(index, colour + "'s engine played the illegal move " + CoordinateText(outcome.move),
                    "rules infraction", EndKind::kFault);
    if (outcome.stoppedForTime) return TimeLoss(index, board, colour + "'s engine lost on time");
    return std::nullopt;
}

// Begins a ponder search on the reply the engine expects after its move,
// when it has one and the game can go on.
void PonderOnReply(Game& game, Player& mover, cecp::MoveWord move, const Progress& progress) {
    if (!mover.side->ponders || progress.line.size() < 2) return;
    const cecp::MoveWord reply = progress.line[1];
    Board after = game.board;
    after.Play(move);
    if (!after.IsLegal(reply) || after.Adjudicate() != GameEnd::kNone ||
        static_cast<int>(game.moves.size()) + 2 >= SearchRecord::kMoveCapacity)
        return;
    std::vector<cecp::MoveWord> pondered = game.moves;
    pondered.push_back(move);
    pondered.push_back(reply);
    mover.side->engine->Begin(
        GameRequest(game.setup.start, game.setup.standardStart, pondered, mover.clock->Fields(), true));
    mover.pondering = true;
    ++mover.ponder.searches;
    mover.expected = reply;
}

// The move of the engine on move: its search (or the ponder search its
// opponent's move confirmed) under its clock.
std::optional<GameOutcome> EngineMove(Game& game, int index, const std::string& number, MoveToPlay* played) {
    Player& mover = game.players[index];
    EngineSession& engine = *mover.side->engine;
    // A side that pondered is charged from the opponent's move: on a hit its
    // search goes on as the move's, on a miss stopping it is part of its move.
    const bool pondered = mover.pondering;
    bool running = false;
    if (pondered) {
        if (auto ending = SettlePonder(game, index, &running, &played->detail)) return ending;
    }
    {
        std::lock_guard lock(game.view.mutex);
        game.view.engine = &engine;
        game.view.label = "  " + number + mover.side->name + ":";
        game.view.board = game.board;
    }
    const auto began = pondered ? game.moveMadeAt : Clock::now();
    if (!running)
        engine.Begin(GameRequest(game.setup.start, game.setup.standardStart, game.moves, mover.clock->Fields()));
    const std::int64_t left = mover.clock->LeftMs();
    // Where a person plays, their "quit" ends the engine's search at once.
    const bool personPlays = !game.players[0].side->engine || !game.players[1].side->engine;
    const SearchOutcome outcome =
        AwaitSearch(engine, began, left + MarginMs(left), kGiveUpMs,
                    personPlays ? std::function<bool()>([] { return TypedLines::Get().QuitTyped(); }) : nullptr);
    game.moveMadeAt = Clock::now();
    if (running && outcome.end == SearchEnd::kMove) mover.ponder.hitMs.push_back(outcome.elapsedMs);
    {
        std::lock_guard lock(game.view.mutex);
        game.view.engine = nullptr;
    }
    if (game.setup.showMoves) ClearStatus();
    if (auto ending = JudgeSearch(outcome, game.board, index, mover.colour)) return ending;

    mover.clock->Charge(outcome.elapsedMs);
    played->move = outcome.move;
    const Progress& progress = outcome.progress;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2fs", static_cast<double>(outcome.elapsedMs) / 1000.0);
    if (Searched(progress)) {
        played->comment = ScoreText(progress.score) + "/" + std::to_string(progress.depth) + " " + seconds;
        played->detail += SecondsText(outcome.elapsedMs) + ", depth " + std::to_string(progress.depth) + ", " +
                          ScoreText(progress.score) + "  " +
                          game.board.SanLine(progress.line.data(), static_cast<int>(progress.line.size()));
    } else {
        // A book move or a forced reply: no search, so no depth or score.
        played->comment = seconds;
        played->detail += SecondsText(outcome.elapsedMs) + ", without a search";
    }
    PonderOnReply(game, mover, outcome.move, progress);
    return std::nullopt;
}

void PlayMove(Game& game, const std::string& number, const MoveToPlay& played) {
    const std::string san = game.board.San(played.move);
    game.pgn.moves.push_back({san, played.comment});
    game.board.Play(played.move);
    game.moves.push_back(played.move);
    if (game.setup.showMoves)
        PrintLine(number + san + std::string(san.size() < 8 ? 8 - san.size() : 1, ' ') + played.detail + "   [" +
                  ClockText(game.players[0].clock->LeftMs()) + " " + ClockText(game.players[1].clock->LeftMs()) +
                  "]");
}

// The engines left without a search or a listener, and the outcome with its PGN.
GameOutcome Finish(Game& game, const GameOutcome& ending) {
    for (Player& player : game.players) StopPondering(player);
    for (const Player& player : game.players)
        if (player.side->engine) player.side->engine->SetListener(nullptr);

    const GameSetup& setup = game.setup;
    GameOutcome outcome = ending;
    outcome.plies = static_cast<int>(game.moves.size());
    for (int i = 0; i < 2; ++i) outcome.ponder[i] = game.players[i].ponder;
    PgnGame& pgn = game.pgn;
    pgn.tags = {{"Event", setup.event},         {"Site", setup.site},           {"Date", TodayText()},
                {"Round", setup.round},         {"White", game.sides[0].name},  {"Black", game.sides[1].name},
                {"Result", outcome.result},     {"TimeControl", setup.control.PgnText()}};
    if (!setup.standardStart) {
        pgn.tags.push_back({"SetUp", "1"});
        pgn.tags.push_back({"FEN", setup.start.Fen()});
    }
    pgn.tags.push_back({"Termination", outcome.termination});
    for (const auto& tag : setup.extraTags) pgn.tags.push_back(tag);
    pgn.result = outcome.result;
    pgn.reason = outcome.reason;
    outcome.pgn = WritePgn(pgn);
    return outcome;
}

}  // namespace

std::string TodayText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[16];
    std::strftime(text, sizeof text, "%Y.%m.%d", &local);
    return text;
}

GameOutcome PlayGame(const GameSetup& setup, const GameSide sides[2]) {
    Game game(setup, sides);
    if (setup.showMoves) ShowThinking(game);
    std::optional<GameOutcome> ending = PlayOpening(game);
    while (!ending && !(ending = EndBeforeMove(game))) {
        const int index = game.board.WhiteToMove() ? 0 : 1;
        Player& mover = game.players[index];
        const std::string number =
            std::to_string(game.board.FullMoveNumber()) + (game.board.WhiteToMove() ? ". " : "... ");
        MoveToPlay played;
        if (mover.side->engine) {
            ending = EngineMove(game, index, number, &played);
        } else {
            ending = HumanMove(mover, index, game.board, game.moves.empty() ? 0 : game.moves.back(), &played.move,
                               &played.detail);
            game.moveMadeAt = Clock::now();
        }
        if (!ending) PlayMove(game, number, played);
    }
    return Finish(game, *ending);
}

}  // namespace enghost
