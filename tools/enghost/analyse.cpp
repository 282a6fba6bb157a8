// enghost analyse: an engine's analysis of one position, shown as it comes.
#include <atomic>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>

#include "board.h"
#include "commands.h"
#include "output.h"
#include "session.h"

using Clock = std::chrono::steady_clock;

namespace enghost {

int RunAnalyse(const AnalyseOptions& options) {
    std::string error;
    auto gameStart = StartFromFen(options.fen, &error);
    if (!gameStart) {
        PrintError(error);
        return 2;
    }
    const Board start = gameStart->board;
    const bool standardStart = gameStart->standard;
    Board board = start;
    std::vector<cecp::MoveWord> moves;
    for (const std::string& text : options.moves) {
        auto move = board.ParseTypedMove(text, &error);
        if (!move) {
            PrintError("move " + std::to_string(moves.size() + 1) + ": " + error);
            return 2;
        }
        moves.push_back(*move);
        board.Play(*move);
    }
    if (static_cast<int>(moves.size()) > SearchRecord::kMoveCapacity) {
        PrintError("the host's search request holds no more than 512 moves");
        return 2;
    }
    if (board.Adjudicate() == GameEnd::kCheckmate || board.Adjudicate() == GameEnd::kStalemate) {
        PrintError(std::string("nothing to analyse: the position is ") + GameEndText(board.Adjudicate()));
        return 2;
    }
    if (options.seconds < 0) {
        PrintError("--time must be a number of seconds above 0");
        return 2;
    }

    Installation installation;
    if (!FindInstallation(options.engine, &installation, &error)) {
        PrintError(error);
        return 2;
    }
    if (!ReadSettings(installation.settings).analyze) {
        PrintError(installation.name + "'s settings say AnalyzeMode=false; an analysis needs an engine that knows "
                   "analyze and AnalyzeMode=true in " + installation.settings.string());
        return 2;
    }
    auto engine = EngineSession::Open(installation, false, &error);
    if (!engine) {
        PrintError(error);
        Dispose(engine);
        if (AnyStuck()) ExitNow(1);
        return 1;
    }

    PrintLine("analysing " + board.Fen() + " with " + engine->name() +
              (options.seconds > 0 ? " for " + SecondsText(static_cast<std::int64_t>(options.seconds * 1000))
                                   : std::string(", Enter stops")));
    const auto began = Clock::now();
    std::mutex shownMutex;
    int shownDepth = -1;
    std::vector<cecp::MoveWord> shownLine;
    std::atomic<int> reports{0};
    engine->SetListener([&](std::uint32_t code, const Progress& progress) {
        // A main line comes after its depth and nodes: one report per line.
        if (code != cecp::kNotifyMainline) return;
        std::lock_guard lock(shownMutex);
        ++reports;
        if (progress.depth == shownDepth && progress.line == shownLine) return;
        shownDepth = progress.depth;
        shownLine = progress.line;
        const std::int64_t ms = MillisecondsSince(began);
        const std::int64_t nps = ms > 0 ? progress.nodes * 1000 / ms : 0;
        PrintLine("depth " + std::to_string(progress.depth) + "  score " + ScoreText(progress.score) + "  nodes " +
                  CountText(progress.nodes) + "  nps " + CountText(nps) + "  time " + SecondsText(ms) + "  " +
                  board.SanLine(progress.line.data(), static_cast<int>(progress.line.size())));
    });

    SearchRecord record;
    record.SetGame(start, standardStart, moves);
    record.SetClock(ClockFields{});  // no clock: an analysis
    record.SetPonder(false);
    engine->Begin(record);

    // Enter ends it; the reader is left behind when the time ends it first.
    auto entered = std::make_shared<std::atomic<int>>(0);  // 1 a line, 2 end of input
    std::thread([entered] {
        std::string line;
        entered->store(std::getline(std::cin, line) ? 1 : 2);
    }).detach();

    const std::int64_t limit = static_cast<std::int64_t>(options.seconds * 1000);
    int status = 0;
    std::string why;
    for (;;) {
        if (engine->WaitDone(50)) {
            why = "the engine ended the analysis by itself";
            break;
        }
        if (!engine->EngineAlive()) {
            why = "the engine died";
            status = 1;
            break;
        }
        if (limit > 0 && MillisecondsSince(began) >= limit) break;
        const int key = entered->load();
        if (key == 1) break;
        if (key == 2 && limit == 0) {
            why = "standard input ended (without --time, Enter ends the analysis)";
            break;
        }
    }
    engine->Stop();
    if (!engine->WaitDone(3000)) {
        PrintError("the engine did not stop analysing when told to");
        status = 1;
    }
    engine->SetListener(nullptr);
    const Progress last = engine->Live();
    if (!why.empty()) PrintLine("stopped: " + why);
    if (reports.load() == 0 || last.line.empty()) {
        PrintError(engine->name() + " reported no main line while analysing (does it know analyze? if not, set "
                   "AnalyzeMode=false in " + installation.settings.string() + ")");
        status = 1;
    } else {
        PrintLine("best line after " + SecondsText(MillisecondsSince(began)) + ": depth " +
                  std::to_string(last.depth) + ", " + ScoreText(last.score) + "  " +
                  board.SanLine(last.line.data(), static_cast<int>(last.line.size())));
    }
    Dispose(engine);
    if (AnyStuck()) ExitNow(status);
    return status;
}

}  // namespace enghost
