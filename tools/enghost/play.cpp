// enghost play: a game between two engines, or a person and an engine.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>

#include "board.h"
#include "clock.h"
#include "commands.h"
#include "output.h"
#include "pgn.h"
#include "session.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace enghost {

namespace {

// A move past its time plus this margin is asked for with Eng3; the
// module's own wait adds up to 100 ms to every move.
std::int64_t MarginMs(std::int64_t leftMs) { return 1000 + leftMs / 20; }
// After Eng3, how long an engine has to come up with its move.
constexpr std::int64_t kGiveUpMs = 5000;

struct Side {
    std::string colour;  // "White", "Black"
    bool human = false;
    std::string name;
    std::unique_ptr<EngineSession> engine;
    std::optional<SideClock> clock;
    bool ponders = false;        // asked to ponder and its settings allow it
    bool pondering = false;      // a ponder search runs
    cecp::MoveWord expected = 0; // the reply it ponders on
};

struct Ending {
    std::string result, reason, termination;
};

// What the terminal shows while an engine thinks: its search on this board.
struct LiveView {
    std::mutex mutex;
    const EngineSession* engine = nullptr;
    std::string label;
    Board board;
};

std::string Today() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &now);
#else
    localtime_r(&now, &parts);
#endif
    char text[16];
    std::strftime(text, sizeof text, "%Y.%m.%d", &parts);
    return text;
}

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

Ending Loss(const Side& loser, const std::string& why, const std::string& termination) {
    return {loser.colour == "White" ? "0-1" : "1-0", why, termination};
}

// A flag fall loses, unless the opponent has nothing left to mate with.
Ending TimeLoss(const Side& loser, const Board& board, const std::string& why) {
    if (OnlyKing(board, loser.colour != "White"))
        return {"1/2-1/2", why + "; drawn, as the opponent has only the king left", "time forfeit"};
    return Loss(loser, why, "time forfeit");
}

void StopPondering(Side& side) {
    if (!side.engine || !side.pondering) return;
    side.pondering = false;
    if (side.engine->Searching()) {
        side.engine->Stop();
        side.engine->WaitDone(static_cast<int>(kGiveUpMs));
    }
}

}  // namespace

int RunPlay(const PlayOptions& options) {
    std::string error;
    // The module changes the working folder on Windows: every path is made
    // absolute before an engine is opened.
    const fs::path pgnFile = options.pgnFile.empty() ? fs::path() : fs::absolute(options.pgnFile);

    std::optional<TimeControl> control;
    if (options.secondsPerMove > 0) {
        control = TimeControl::FixedPerMove(options.secondsPerMove);
    } else if (!(control = TimeControl::Parse(options.timeControl, &error))) {
        PrintError(error);
        return 2;
    }

    auto gameStart = StartFromFen(options.fen, &error);
    if (!gameStart) {
        PrintError(error);
        return 2;
    }
    const Board start = gameStart->board;
    const bool standardStart = gameStart->standard;

    Side sides[2];
    sides[0].colour = "White";
    sides[1].colour = "Black";
    const std::string* specs[2] = {&options.white, &options.black};
    Installation installs[2];
    for (int i = 0; i < 2; ++i) {
        Side& side = sides[i];
        side.human = *specs[i] == "human";
        side.clock.emplace(*control);
        if (side.human) {
            side.name = "Human";
            continue;
        }
        if (!FindInstallation(*specs[i], &installs[i], &error)) {
            PrintError(side.colour + ": " + error);
            return 2;
        }
    }
    if (sides[0].human && sides[1].human) {
        PrintError("at least one side must be an engine");
        return 2;
    }
    for (int i = 0; i < 2; ++i) {
        Side& side = sides[i];
        if (side.human) continue;
        // Two engines never share one loaded module: the second of the same
        // file plays through a private copy.
        std::error_code same;
        const bool copy = i == 1 && !sides[0].human && fs::equivalent(installs[0].module, installs[1].module, same);
        side.engine = EngineSession::Open(installs[i], copy, &error);
        if (!side.engine) {
            PrintError(side.colour + ": " + error);
            for (Side& opened : sides) Dispose(opened.engine);
            if (AnyStuck()) ExitNow(1);
            return 1;
        }
        side.name = side.engine->name();
        side.ponders = options.ponder && side.engine->settings().ponder;
        if (options.ponder && !side.engine->settings().ponder)
            PrintLine("note: " + side.name + " does not ponder: its settings say PonderMode=false (" +
                      installs[i].settings.string() + ")");
    }

    LiveView view;
    for (Side& side : sides) {
        if (!side.engine) continue;
        const EngineSession* self = side.engine.get();
        side.engine->SetListener([&view, self](std::uint32_t, const Progress& progress) {
            std::lock_guard lock(view.mutex);
            if (view.engine != self || progress.depth == 0) return;
            ShowStatus(view.label + " depth " + std::to_string(progress.depth) + "  " + ScoreText(progress.score) +
                       "  " + CountText(progress.nodes) + " nodes  " +
                       view.board.SanLine(progress.line.data(), static_cast<int>(progress.line.size())));
        });
    }

    PrintLine(sides[0].name + " (White) against " + sides[1].name + " (Black), " + control->PgnText() +
              (options.fen.empty() ? "" : ", from " + start.Fen()) + (options.ponder ? ", pondering" : ""));

    Board board = start;
    std::vector<cecp::MoveWord> moves;
    PgnGame pgn;
    pgn.firstMoveNumber = start.FullMoveNumber();
    pgn.blackMovesFirst = !start.WhiteToMove();
    Ending ending;

    for (;;) {
        const GameEnd end = board.Adjudicate();
        if (end == GameEnd::kCheckmate) {
            ending = Loss(sides[board.WhiteToMove() ? 0 : 1], std::string(board.WhiteToMove() ? "Black" : "White") +
                                                                  " mates", "normal");
            break;
        }
        if (end != GameEnd::kNone) {
            ending = {"1/2-1/2", std::string("drawn by ") + GameEndText(end), "normal"};
            break;
        }
        if (static_cast<int>(moves.size()) >= SearchRecord::kMoveCapacity) {
            ending = {"*", "stopped: the host's search request holds no more than 512 moves", "unterminated"};
            break;
        }
        if (options.maxMoves > 0 && static_cast<int>(moves.size()) >= 2 * options.maxMoves) {
            ending = {"*", "stopped after " + std::to_string(options.maxMoves) + " moves each", "unterminated"};
            break;
        }

        Side& mover = sides[board.WhiteToMove() ? 0 : 1];
        Side& other = sides[board.WhiteToMove() ? 1 : 0];
        const std::string number = std::to_string(board.FullMoveNumber()) + (board.WhiteToMove() ? ". " : "... ");
        cecp::MoveWord move = 0;
        std::string comment, detail;

        if (mover.human) {
            const auto began = Clock::now();
            bool decided = false;
            while (!decided) {
                std::cout << mover.colour << " to move (" << ClockText(mover.clock->LeftMs())
                          << " left; a move, or resign, quit, moves): " << std::flush;
                std::string line;
                if (!std::getline(std::cin, line)) {
                    ending = {"*", "the game was left unfinished at the end of the input", "abandoned"};
                    break;
                }
                while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
                while (!line.empty() && line.front() == ' ') line.erase(0, 1);
                if (line.empty()) continue;
                if (line == "resign") {
                    ending = Loss(mover, mover.colour + " resigns", "normal");
                    break;
                }
                if (line == "quit") {
                    ending = {"*", "the game was left unfinished", "abandoned"};
                    break;
                }
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
                move = *typed;
                decided = true;
            }
            if (!decided) break;
            const std::int64_t elapsed = MillisecondsSince(began);
            if (!mover.clock->Charge(elapsed)) {
                ending = TimeLoss(mover, board, mover.colour + " lost on time");
                break;
            }
            detail = "(" + SecondsText(elapsed) + ")";
        } else {
            EngineSession& engine = *mover.engine;
            auto began = Clock::now();
            bool running = false;
            if (mover.pondering) {
                mover.pondering = false;
                if (engine.Searching() && !moves.empty() && moves.back() == mover.expected) {
                    engine.PonderHit();
                    running = true;
                    detail = "ponder hit, ";
                } else if (engine.Searching()) {
                    engine.Stop();
                    if (!engine.WaitDone(static_cast<int>(kGiveUpMs))) {
                        ending = Loss(mover, mover.colour + "'s engine did not stop pondering when told to",
                                      "time forfeit");
                        break;
                    }
                }
            }
            {
                std::lock_guard lock(view.mutex);
                view.engine = &engine;
                view.label = "  " + number + mover.name + ":";
                view.board = board;
            }
            if (!running) {
                SearchRecord record;
                record.SetGame(start, standardStart, moves);
                record.SetClock(mover.clock->Fields());
                record.SetPonder(false);
                began = Clock::now();
                engine.Begin(record);
            }
            const std::int64_t left = mover.clock->LeftMs();
            const SearchOutcome outcome = AwaitSearch(engine, began, left + MarginMs(left), kGiveUpMs);
            {
                std::lock_guard lock(view.mutex);
                view.engine = nullptr;
            }
            ClearStatus();
            if (outcome.end == SearchEnd::kDied) {
                ending = Loss(mover, mover.colour + "'s engine died during its search", "abandoned");
                break;
            }
            if (outcome.end == SearchEnd::kStuck) {
                ending = Loss(mover, mover.colour + "'s engine did not move, not even when told to move at once",
                              "time forfeit");
                break;
            }
            if (outcome.end == SearchEnd::kNoMove) {
                ending = Loss(mover, mover.colour + "'s engine answered with no move that the module recognised "
                                                    "(an illegal or unreadable move)",
                              "rules infraction");
                break;
            }
            if (!board.IsLegal(outcome.move)) {
                ending = Loss(mover, mover.colour + "'s engine played the illegal move " + CoordinateText(outcome.move),
                              "rules infraction");
                break;
            }
            if (outcome.stoppedForTime) {
                ending = TimeLoss(mover, board, mover.colour + "'s engine lost on time");
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
            if (mover.ponders && progress.line.size() >= 2) {
                Board after = board;
                after.Play(move);
                if (after.IsLegal(progress.line[1]) && after.Adjudicate() == GameEnd::kNone &&
                    static_cast<int>(moves.size()) + 2 < SearchRecord::kMoveCapacity) {
                    std::vector<cecp::MoveWord> pondered = moves;
                    pondered.push_back(move);
                    pondered.push_back(progress.line[1]);
                    SearchRecord record;
                    record.SetGame(start, standardStart, pondered);
                    record.SetClock(mover.clock->Fields());
                    record.SetPonder(true);
                    engine.Begin(record);
                    mover.pondering = true;
                    mover.expected = progress.line[1];
                }
            }
        }

        const std::string san = board.San(move);
        pgn.moves.push_back({san, comment});
        board.Play(move);
        moves.push_back(move);
        PrintLine(number + san + std::string(san.size() < 8 ? 8 - san.size() : 1, ' ') + detail + "   [" +
                  ClockText(sides[0].clock->LeftMs()) + " " + ClockText(sides[1].clock->LeftMs()) + "]");
        (void)other;
    }

    for (Side& side : sides) StopPondering(side);
    PrintLine("Result " + ending.result + ": " + ending.reason);

    pgn.tags = {{"Event", options.event}, {"Site", options.site},   {"Date", Today()},
                {"Round", options.round}, {"White", sides[0].name}, {"Black", sides[1].name},
                {"Result", ending.result}, {"TimeControl", control->PgnText()}};
    if (!standardStart) {
        pgn.tags.push_back({"SetUp", "1"});
        pgn.tags.push_back({"FEN", start.Fen()});
    }
    pgn.tags.push_back({"Termination", ending.termination});
    pgn.result = ending.result;
    pgn.reason = ending.reason;
    const std::string text = WritePgn(pgn);
    PrintLine("");
    std::cout << text << std::flush;

    int status = 0;
    if (!pgnFile.empty()) {
        std::ofstream out(pgnFile, std::ios::app | std::ios::binary);
        out << text;
        out.close();
        if (!out) {
            PrintError("cannot write the game to " + pgnFile.string());
            status = 1;
        }
    }
    for (Side& side : sides) {
        if (side.engine) side.engine->SetListener(nullptr);
        Dispose(side.engine);
    }
    if (AnyStuck()) ExitNow(status);
    return status;
}

}  // namespace enghost
