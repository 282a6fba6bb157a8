#include "game.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <mutex>
#include <optional>

#include "interrupt.h"
#include "output.h"
#include "pgn.h"

using Clock = std::chrono::steady_clock;

namespace enghost {

namespace {

// A move past its time plus this margin is asked for with Eng3; the
// module's own wait adds up to 100 ms to every move.
std::int64_t MarginMs(std::int64_t leftMs) { return 1000 + leftMs / 20; }
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
// game goes on with *move.
std::optional<GameOutcome> HumanMove(Player& mover, int index, const Board& board, cecp::MoveWord* move,
                                     std::string* detail) {
    const auto began = Clock::now();
    std::string error;
    for (;;) {
        std::cout << mover.colour << " to move (" << ClockText(mover.clock->LeftMs())
                  << " left; a move, or resign, quit, moves): " << std::flush;
        std::string line;
        if (!std::getline(std::cin, line))
            return Ending("*", "the game was left unfinished at the end of the input", "abandoned",
                          EndKind::kUnfinished);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        while (!line.empty() && line.front() == ' ') line.erase(0, 1);
        if (line.empty()) continue;
        if (line == "resign") return Loss(index, std::string(mover.colour) + " resigns", "normal", EndKind::kRules);
        if (line == "quit") return Ending("*", "the game was left unfinished", "abandoned", EndKind::kUnfinished);
        if (line == "moves") {
            std::string list;
            for (cecp::MoveWord legal : board.LegalMoves()) list += " " + board.San(legal);
            PrintLine("legal moves:" + list);
            continue;
        }
        auto typed = board.ParseTypedMove(line, &error);
        if (!typed) {
            PrintLine(error);
            continue;
        }
        *move = *typed;
        break;
    }
    const std::int64_t elapsed = MillisecondsSince(began);
    if (!mover.clock->Charge(elapsed)) return TimeLoss(index, board, std::string(mover.colour) + " lost on time");
    *detail = "(" + SecondsText(elapsed) + ")";
    return std::nullopt;
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
    Player players[2];
    for (int i = 0; i < 2; ++i) {
        players[i].side = &sides[i];
        players[i].colour = kColours[i];
        players[i].clock.emplace(setup.control);
    }

    LiveView view;
    if (setup.showMoves) {
        for (const Player& player : players) {
            EngineSession* engine = player.side->engine;
            if (!engine) continue;
            engine->SetListener([&view, engine](std::uint32_t, const Progress& progress) {
                std::lock_guard lock(view.mutex);
                if (view.engine != engine || progress.depth == 0) return;
                ShowStatus(view.label + " depth " + std::to_string(progress.depth) + "  " +
                           ScoreText(progress.score) + "  " + CountText(progress.nodes) + " nodes  " +
                           view.board.SanLine(progress.line.data(), static_cast<int>(progress.line.size())));
            });
        }
    }

    Board board = setup.start;
    std::vector<cecp::MoveWord> moves;
    PgnGame pgn;
    pgn.firstMoveNumber = setup.start.FullMoveNumber();
    pgn.blackMovesFirst = !setup.start.WhiteToMove();
    std::optional<GameOutcome> ending;
    // When the last move was made: a pondering engine's clock runs from its
    // opponent's move, as it would at a board.
    auto moveMadeAt = Clock::now();

    for (cecp::MoveWord move : setup.opening) {
        if (!board.IsLegal(move)) {
            ending = Ending("*", "the opening's move " + CoordinateText(move) + " is not legal", "unterminated",
                            EndKind::kUnfinished);
            break;
        }
        pgn.moves.push_back({board.San(move), ""});
        board.Play(move);
        moves.push_back(move);
    }

    while (!ending) {
        const GameEnd end = board.Adjudicate();
        if (end == GameEnd::kCheckmate) {
            ending = Loss(board.WhiteToMove() ? 0 : 1, std::string(board.WhiteToMove() ? "Black" : "White") + " mates",
                          "normal", EndKind::kRules);
            break;
        }
        if (end != GameEnd::kNone) {
            ending = Ending("1/2-1/2", std::string("drawn by ") + GameEndText(end), "normal", EndKind::kRules);
            break;
        }
        if (static_cast<int>(moves.size()) >= SearchRecord::kMoveCapacity) {
            ending = Ending("*", "stopped: the host's search request holds no more than 512 moves", "unterminated",
                            EndKind::kUnfinished);
            break;
        }
        if (setup.maxMoves > 0 && static_cast<int>(moves.size()) >= 2 * setup.maxMoves) {
            ending = Ending("*", "stopped after " + std::to_string(setup.maxMoves) + " moves each", "unterminated",
                            EndKind::kUnfinished);
            break;
        }
        if (Interrupted()) {
            ending = Interruption();
            break;
        }

        const int index = board.WhiteToMove() ? 0 : 1;
        Player& mover = players[index];
        const std::string number = std::to_string(board.FullMoveNumber()) + (board.WhiteToMove() ? ". " : "... ");
        cecp::MoveWord move = 0;
        std::string comment, detail;

        if (!mover.side->engine) {
            ending = HumanMove(mover, index, board, &move, &detail);
            if (ending) break;
            moveMadeAt = Clock::now();
        } else {
            EngineSession& engine = *mover.side->engine;
            const std::string colour = mover.colour;
            // A side that pondered is charged from the opponent's move: on a
            // hit its search goes on as the move's, on a miss stopping it is
            // part of its move.
            const bool pondered = mover.pondering;
            auto began = pondered ? moveMadeAt : Clock::now();
            bool running = false;
            if (pondered) {
                mover.pondering = false;
                if (engine.Searching() && !moves.empty() && moves.back() == mover.expected) {
                    engine.PonderHit();
                    ++mover.ponder.hits;
                    running = true;
                    detail = "ponder hit, ";
                } else if (engine.Searching()) {
                    ++mover.ponder.misses;
                    engine.Stop();
                    if (!engine.WaitDone(static_cast<int>(kGiveUpMs))) {
                        ending = Loss(index, colour + "'s engine did not stop pondering when told to", "time forfeit",
                                      EndKind::kFault);
                        break;
                    }
                }
            }
            {
                std::lock_guard lock(view.mutex);
                view.engine = &engine;
                view.label = "  " + number + mover.side->name + ":";
                view.board = board;
            }
            if (!running) {
                SearchRecord record;
                record.SetGame(setup.start, setup.standardStart, moves);
                record.SetClock(mover.clock->Fields());
                record.SetPonder(false);
                if (!pondered) began = Clock::now();
                engine.Begin(record);
            }
            const std::int64_t left = mover.clock->LeftMs();
            const SearchOutcome outcome = AwaitSearch(engine, began, left + MarginMs(left), kGiveUpMs);
            moveMadeAt = Clock::now();
            if (running && outcome.end == SearchEnd::kMove) mover.ponder.hitMs.push_back(outcome.elapsedMs);
            {
                std::lock_guard lock(view.mutex);
                view.engine = nullptr;
            }
            if (setup.showMoves) ClearStatus();
            if (outcome.end == SearchEnd::kInterrupted) {
                ending = Interruption();
                break;
            }
            if (outcome.end == SearchEnd::kDied) {
                ending = Loss(index, colour + "'s engine died during its search", "abandoned", EndKind::kFault);
                break;
            }
            if (outcome.end == SearchEnd::kStuck) {
                ending = Loss(index, colour + "'s engine did not move, not even when told to move at once",
                              "time forfeit", EndKind::kFault);
                break;
            }
            if (outcome.end == SearchEnd::kNoMove) {
                ending = Loss(index,
                              colour + "'s engine answered with no move that the module recognised "
                                       "(an illegal or unreadable move)",
                              "rules infraction", EndKind::kFault);
                break;
            }
            if (!board.IsLegal(outcome.move)) {
                ending = Loss(index, colour + "'s engine played the illegal move " + CoordinateText(outcome.move),
                              "rules infraction", EndKind::kFault);
                break;
            }
            if (outcome.stoppedForTime) {
                ending = TimeLoss(index, board, colour + "'s engine lost on time");
                break;
            }
            mover.clock->Charge(outcome.elapsedMs);
            move = outcome.move;
            const Progress& progress = outcome.progress;
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.2fs", static_cast<double>(outcome.elapsedMs) / 1000.0);
            comment = ScoreText(progress.score) + "/" + std::to_string(progress.depth) + " " + seconds;
            detail += SecondsText(outcome.elapsedMs) + ", depth " + std::to_string(progress.depth) + ", " +
                      ScoreText(progress.score) + "  " +
                      board.SanLine(progress.line.data(), static_cast<int>(progress.line.size()));

            // Ponder on the reply the engine expects, when it has one.
            if (mover.side->ponders && progress.line.size() >= 2) {
                Board after = board;
                after.Play(move);
                if (after.IsLegal(progress.line[1]) && after.Adjudicate() == GameEnd::kNone &&
                    static_cast<int>(moves.size()) + 2 < SearchRecord::kMoveCapacity) {
                    std::vector<cecp::MoveWord> pondered = moves;
                    pondered.push_back(move);
                    pondered.push_back(progress.line[1]);
                    SearchRecord record;
                    record.SetGame(setup.start, setup.standardStart, pondered);
                    record.SetClock(mover.clock->Fields());
                    record.SetPonder(true);
                    engine.Begin(record);
                    mover.pondering = true;
                    ++mover.ponder.searches;
                    mover.expected = progress.line[1];
                }
            }
        }

        const std::string san = board.San(move);
        pgn.moves.push_back({san, comment});
        board.Play(move);
        moves.push_back(move);
        if (setup.showMoves)
            PrintLine(number + san + std::string(san.size() < 8 ? 8 - san.size() : 1, ' ') + detail + "   [" +
                      ClockText(players[0].clock->LeftMs()) + " " + ClockText(players[1].clock->LeftMs()) + "]");
    }

    for (Player& player : players) StopPondering(player);
    for (const Player& player : players)
        if (player.side->engine) player.side->engine->SetListener(nullptr);

    GameOutcome outcome = *ending;
    outcome.plies = static_cast<int>(moves.size());
    for (int i = 0; i < 2; ++i) outcome.ponder[i] = players[i].ponder;
    pgn.tags = {{"Event", setup.event},         {"Site", setup.site},           {"Date", TodayText()},
                {"Round", setup.round},         {"White", sides[0].name},       {"Black", sides[1].name},
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

}  // namespace enghost
