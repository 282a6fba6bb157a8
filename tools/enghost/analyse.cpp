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

namespace {

// The position to analyse: the game from its start with the moves played.
struct AnalysedPosition {
    Board start;
    bool standardStart = true;
    std::vector<cecp::MoveWord> moves;
    Board board;  // after the moves
};

// The position the options give; false (a message shown) when it is bad or
// has nothing to analyse.
bool ReadPosition(const AnalyseOptions& options, AnalysedPosition* out) {
    std::string error;
    auto gameStart = StartFromFen(options.fen, &error);
    if (!gameStart) {
        PrintError(error);
        return false;
    }
    out->start = gameStart->board;
    out->standardStart = gameStart->standard;
    out->board = out->start;
    for (const std::string& text : options.moves) {
        auto move = out->board.ParseTypedMove(text, &error);
        if (!move) {
            PrintError("move " + std::to_string(out->moves.size() + 1) + ": " + error);
            return false;
        }
        out->moves.push_back(*move);
        out->board.Play(*move);
    }
    if (static_cast<int>(out->moves.size()) > SearchRecord::kMoveCapacity) {
        PrintError("the host's search request holds no more than 512 moves");
        return false;
    }
    const GameEnd end = out->board.Adjudicate();
    if (end == GameEnd::kCheckmate || end == GameEnd::kStalemate) {
        PrintError(std::string("nothing to analyse: the position is ") + GameEndText(end));
        return false;
    }
    return true;
}

// Shows each new main line as the engine reports it; counts the reports.
class LineShower {
public:
    LineShower(const Board& board, Clock::time_point began) : board_(board), began_(began) {}

    void Show(std::uint32_t code, const Progress& progress) {
        // A main line comes after its depth and nodes: one report per line.
        if (code != cecp::kNotifyMainline) return;
        std::lock_guard lock(mutex_);
        ++reports_;
        if (progress.depth == depth_ && progress.line == line_) return;
        depth_ = progress.depth;
        line_ = progress.line;
        const std::int64_t ms = MillisecondsSince(began_);
        const std::int64_t nps = ms > 0 ? progress.nodes * 1000 / ms : 0;
        PrintLine("depth " + std::to_string(progress.depth) + "  score " + ScoreText(progress.score) + "  nodes " +
                  CountText(progress.nodes) + "  nps " + CountText(nps) + "  time " + SecondsText(ms) + "  " +
                  board_.SanLine(progress.line.data(), static_cast<int>(progress.line.size())));
    }
    int reports() const { return reports_.load(); }

private:
    const Board& board_;
    const Clock::time_point began_;
    std::mutex mutex_;
    int depth_ = -1;
    std::vector<cecp::MoveWord> line_;
    std::atomic<int> reports_{0};
};

// Waits for the end of the analysis: the time, Enter, the end of the input
// without a time, or the engine's own end. Why it ended, when not as asked;
// *died when the engine died.
std::string AwaitEnd(EngineSession& engine, Clock::time_point began, std::int64_t limitMs, bool* died) {
    // Enter ends it; the reader is left behind when the time ends it first.
    auto entered = std::make_shared<std::atomic<int>>(0);  // 1 a line, 2 end of input
    std::thread([entered] {
        std::string line;
        entered->store(std::getline(std::cin, line) ? 1 : 2);
    }).detach();
    for (;;) {
        if (engine.WaitDone(50)) return "the engine ended the analysis by itself";
        if (!engine.EngineAlive()) {
            *died = true;
            return "the engine died";
        }
        if (limitMs > 0 && MillisecondsSince(began) >= limitMs) return "";
        const int key = entered->load();
        if (key == 1) return "";
        if (key == 2 && limitMs == 0) return "standard input ended (without --time, Enter ends the analysis)";
    }
}

}  // namespace

int RunAnalyse(const AnalyseOptions& options) {
    AnalysedPosition position;
    if (!ReadPosition(options, &position)) return 2;
    if (options.seconds < 0) {
        PrintError("--time must be a number of seconds above 0");
        return 2;
    }
    std::string error;
    Installation installation;
    if (!FindInstallation(options.engine, &installation, &error)) {
        PrintError(error);
        return 2;
    }
    if (!ReadSettings(installation).analyzeMode) {
        PrintError(installation.name + "'s settings say AnalyzeMode=false; an analysis needs an engine that knows "
                   "analyze and AnalyzeMode=true in " + installation.settings.string());
        return 2;
    }
    auto engine = EngineSession::Open(installation, ModuleCopy::kInstalled, &error);
    if (!engine) {
        PrintError(error);
        Dispose(engine);
        if (AnyStuck()) ExitNow(1);
        return 1;
    }

    const Board& board = position.board;
    PrintLine("analysing " + board.Fen() + " with " + engine->name() +
              (options.seconds > 0 ? " for " + SecondsText(static_cast<std::int64_t>(options.seconds * 1000))
                                   : std::string(", Enter stops")));
    const auto began = Clock::now();
    LineShower shower(board, began);
    engine->SetListener([&](std::uint32_t code, const Progress& progress) { shower.Show(code, progress); });
    // No clock: an analysis.
    engine->Begin(GameRequest(position.start, position.standardStart, position.moves, cecp::SearchClock{}));

    bool died = false;
    const std::string why = AwaitEnd(*engine, began, static_cast<std::int64_t>(options.seconds * 1000), &died);
    int status = died ? 1 : 0;
    engine->Stop();
    if (!engine->WaitDone(3000)) {
        PrintError("the engine did not stop analysing when told to");
        status = 1;
    }
    engine->SetListener(nullptr);
    const Progress last = engine->Live();
    if (!why.empty()) PrintLine("stopped: " + why);
    if (shower.reports() == 0 || last.line.empty()) {
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
