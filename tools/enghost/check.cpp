// enghost check: each capability of an installed engine on its own, one line
// each, and a verdict.
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "board.h"
#include "commands.h"
#include "detect.h"
#include "interrupt.h"
#include "output.h"
#include "session.h"

using Clock = std::chrono::steady_clock;

namespace enghost {

namespace {

// A position whose moves the start position does not have: an engine that
// did not take it answers with a move that does not fit.
constexpr const char* kSetUpFen = "6k1/5ppp/8/8/8/8/8/3R2K1 w - - 0 1";
// The ponder checks: the engine plays White after 1.e4 e5 2.Nf3, pondering
// on 2...Nc6; a miss is 2...Nf6.
constexpr const char* kMissedReply = "Nf6";

// One second to think, asked for the move half a second after that, given
// up three seconds later.
constexpr int kSearchSeconds = 1;
constexpr std::int64_t kStopAfterMs = 1500, kGiveUpMs = 3000;
constexpr std::int64_t kPonderMs = 500;
// A move this soon after the request to move now counts as at once.
constexpr std::int64_t kAtOnceMs = 1000;
// The longest an engine just opened is waited for to be idle.
constexpr int kSettleMs = 5000;

enum class Verdict { kOk, kProblem, kNote };

struct Line {
    Verdict verdict = Verdict::kOk;
    std::string text;
    // The engine cannot take another search: the next capability opens it anew.
    bool unusable = false;
};

Line Ok(const std::string& text) { return {Verdict::kOk, text, false}; }
Line Problem(const std::string& text, bool unusable = false) { return {Verdict::kProblem, text, unusable}; }
Line Note(const std::string& text) { return {Verdict::kNote, text, false}; }

std::vector<cecp::MoveWord> GameMoves(std::initializer_list<const char*> texts) {
    Board board;
    std::vector<cecp::MoveWord> moves;
    std::string error;
    for (const char* text : texts) {
        moves.push_back(*board.ParseTypedMove(text, &error));
        board.Play(moves.back());
    }
    return moves;
}

Board After(const Board& start, const std::vector<cecp::MoveWord>& moves) {
    Board board = start;
    for (cecp::MoveWord move : moves) board.Play(move);
    return board;
}

cecp::SearchClock SecondsForOneMove(int seconds) {
    cecp::SearchClock clock;
    clock.mode = 3;
    clock.timeLeft = seconds;
    clock.movesToGo = 1;
    return clock;
}

std::string Details(const SearchOutcome& outcome) {
    return "after " + SecondsText(outcome.elapsedMs) + " (depth " + std::to_string(outcome.progress.depth) + ", " +
           ScoreText(outcome.progress.score) + ")";
}

// The words for a search that did not end with a legal move in position; an
// empty text when it did.
Line Failure(const SearchOutcome& outcome, const Board& position, std::int64_t waitedMs) {
    switch (outcome.end) {
    case SearchEnd::kDied: return Problem("the engine ended (it crashed or quit) during the search", true);
    case SearchEnd::kStuck:
        if (outcome.progress.lines == 0 && outcome.progress.depth <= 1)
            return Problem("the engine answers nothing: no thinking and no move in " + SecondsText(waitedMs) +
                               ", not even when told to move at once",
                           true);
        return Problem("the engine thinks but never moves, not even when told to move at once", true);
    case SearchEnd::kNoMove:
        return Problem("its move was not recognised (not a legal move in the position it was given)");
    case SearchEnd::kInterrupted:
    case SearchEnd::kQuit: return Problem("interrupted", true);
    case SearchEnd::kMove:
        if (!position.IsLegal(outcome.move))
            return Problem("it played the illegal move " + CoordinateText(outcome.move));
        break;
    }
    return Ok("");
}

// One search under a fixed time; the engine is asked for its move at stopAfterMs.
SearchOutcome Search(EngineSession& engine, const Board& start, bool standardStart,
                     const std::vector<cecp::MoveWord>& moves, int seconds, std::int64_t stopAfterMs) {
    const auto began = Clock::now();
    engine.Begin(GameRequest(start, standardStart, moves, SecondsForOneMove(seconds)));
    return AwaitSearch(engine, began, stopAfterMs, kGiveUpMs);
}

Line PlaysFrom(EngineSession& engine, const Board& start, bool standardStart) {
    const SearchOutcome outcome = Search(engine, start, standardStart, {}, kSearchSeconds, kStopAfterMs);
    Line failure = Failure(outcome, start, kStopAfterMs + kGiveUpMs);
    if (failure.verdict != Verdict::kOk) {
        if (!standardStart && outcome.end == SearchEnd::kNoMove)
            failure.text = "its move was not recognised: the engine probably did not take the position (the "
                           "module sets it up with edit, or setboard, or position fen)";
        return failure;
    }
    const std::string move = start.San(outcome.move);
    if (outcome.stoppedForTime)
        return Problem("it played " + move + " only when told to move at once, " +
                       SecondsText(outcome.elapsedMs - kStopAfterMs) + " after being told: it overran its second");
    return Ok(move + " " + Details(outcome));
}

Line MovesWhenTold(EngineSession& engine) {
    // A long think cut short: 30 s to think, told after one second to move at once.
    const std::vector<cecp::MoveWord> moves = GameMoves({"e4", "e5", "Nf3", "Nc6"});
    const Board position = After(Board(), moves);
    const SearchOutcome outcome = Search(engine, Board(), true, moves, 30, 1000);
    if (outcome.end == SearchEnd::kStuck)
        return Problem("it went on thinking for " + SecondsText(kGiveUpMs) + " after being told to move", true);
    Line failure = Failure(outcome, position, 1000 + kGiveUpMs);
    if (failure.verdict != Verdict::kOk) return failure;
    if (!outcome.stoppedForTime)
        return Note("not checked: it moved within a second of its 30, before it could be told to move at once");
    const std::int64_t afterMs = outcome.elapsedMs - 1000;
    // A move that comes in the end, but not at once, is the engine's own
    // time keeping: the request was not followed.
    if (afterMs > kAtOnceMs)
        return Problem("it played " + position.San(outcome.move) + " only " + SecondsText(afterMs) +
                       " after being told to move at once: it does not follow the request");
    return Ok(position.San(outcome.move) + " " + SecondsText(afterMs) + " after being told");
}

Line Analyses(EngineSession& engine, const std::string& settingsFile) {
    const Board start;
    const auto began = Clock::now();
    engine.Begin(GameRequest(start, true, {}, cecp::SearchClock{}));
    while (MillisecondsSince(began) < 1500 && !engine.WaitDone(50) && engine.EngineAlive()) {
    }
    const Progress seen = engine.Live();
    const bool ended = !engine.Searching();
    const auto stopping = Clock::now();
    engine.Stop();
    // The module gives an engine that ignores the stop its own patience;
    // one that needed it may still answer later, into the next search.
    const bool stopped = engine.WaitDone(static_cast<int>(kGiveUpMs + 5000));
    const bool prompt = stopped && MillisecondsSince(stopping) < 2000;
    if (!engine.EngineAlive()) return Problem("the engine ended (it crashed or quit) while analysing", true);
    if (seen.lines == 0 || seen.line.empty() || !start.IsLegal(seen.line.front()))
        return Problem(std::string(ended ? "the analysis ended at once" : "it reported nothing while analysing") +
                           ": it rejects analysis, or its lines are not understood; with such an engine set "
                           "AnalyzeMode=false in " + settingsFile,
                       !prompt);
    if (!prompt) return Problem("it does not stop analysing when told to", true);
    return Ok("depth " + std::to_string(seen.depth) + " in 1.5 s, " + ScoreText(seen.score) + "  " +
              start.SanLine(seen.line.data(), static_cast<int>(seen.line.size())));
}

// A ponder search on the expected reply (the last of moves), begun; false
// when the search ended before the reply was known.
bool BeginPondering(EngineSession& engine, const std::vector<cecp::MoveWord>& moves) {
    engine.Begin(GameRequest(Board(), true, moves, SecondsForOneMove(kSearchSeconds), true));
    const auto began = Clock::now();
    while (MillisecondsSince(began) < kPonderMs)
        if (engine.WaitDone(20)) return false;
    return true;
}

Line PonderHit(EngineSession& engine) {
    const std::vector<cecp::MoveWord> moves = GameMoves({"e4", "e5", "Nf3", "Nc6"});
    const Board position = After(Board(), moves);
    if (!BeginPondering(engine, moves)) {
        if (!engine.EngineAlive()) return Problem("the engine ended (it crashed or quit) while pondering", true);
        return Problem("the ponder search ended by itself before the expected reply came");
    }
    const auto hit = Clock::now();
    engine.PonderHit();
    const SearchOutcome outcome = AwaitSearch(engine, hit, kStopAfterMs, kGiveUpMs);
    Line failure = Failure(outcome, position, kStopAfterMs + kGiveUpMs);
    if (failure.verdict != Verdict::kOk) return failure;
    const std::string move = position.San(outcome.move);
    if (outcome.stoppedForTime)
        return Problem("after the hit it played " + move + " only when told to move at once: it overran its second");
    return Ok("pondered on 2...Nc6, which came: " + move + " " + SecondsText(outcome.elapsedMs) + " after the hit");
}

Line PonderMiss(EngineSession& engine) {
    const std::vector<cecp::MoveWord> pondered = GameMoves({"e4", "e5", "Nf3", "Nc6"});
    if (!BeginPondering(engine, pondered)) {
        if (!engine.EngineAlive()) return Problem("the engine ended (it crashed or quit) while pondering", true);
        return Problem("the ponder search ended by itself before the reply came");
    }
    const auto stopping = Clock::now();
    engine.Stop();
    if (!engine.WaitDone(2000)) {
        if (!engine.EngineAlive()) return Problem("the engine ended (it crashed or quit) when told to stop", true);
        return Problem("the ponder search did not end within 2 s of the stop", true);
    }
    const std::int64_t stopMs = MillisecondsSince(stopping);
    if (!engine.EngineAlive()) return Problem("the engine ended (it crashed or quit) when told to stop", true);
    const std::vector<cecp::MoveWord> played = GameMoves({"e4", "e5", "Nf3", kMissedReply});
    const Board position = After(Board(), played);
    const SearchOutcome outcome = Search(engine, Board(), true, played, kSearchSeconds, kStopAfterMs);
    Line failure = Failure(outcome, position, kStopAfterMs + kGiveUpMs);
    if (failure.verdict != Verdict::kOk) {
        failure.text = "stopped in " + SecondsText(stopMs) + ", but the next search failed: " + failure.text;
        return failure;
    }
    const std::string move = position.San(outcome.move);
    if (outcome.stoppedForTime)
        return Problem("stopped in " + SecondsText(stopMs) + ", but in the next search it played " + move +
                       " only when told to move at once");
    return Ok("stopped in " + SecondsText(stopMs) + "; after 2..." + kMissedReply + " it played " + move + " " +
              Details(outcome));
}

// The engine for the next capability, opened anew when the last one left it
// unusable.
class Bench {
public:
    explicit Bench(const Installation& installation) : installation_(installation) {}
    ~Bench() { Dispose(engine_); }

    EngineSession* Open(std::string* error, std::int64_t* openMs, std::int64_t* idleMs = nullptr) {
        if (engine_) return engine_.get();
        const auto opening = Clock::now();
        // A module whose thread is still stuck in a search cannot be opened
        // again: a fresh copy of it is.
        engine_ = EngineSession::Open(installation_, AnyStuck() || opened_ > 0, error);
        if (openMs) *openMs = MillisecondsSince(opening);
        if (!engine_) return nullptr;
        ++opened_;
        // Its first search is timed from its start: an engine busy setting
        // itself up (fairymax clears a 100 MB hash) is given that time first.
        const std::int64_t idle = engine_->AwaitIdle(kSettleMs);
        if (idleMs) *idleMs = idle;
        return engine_.get();
    }
    void Discard() { Dispose(engine_); }

private:
    Installation installation_;
    std::unique_ptr<EngineSession> engine_;
    int opened_ = 0;
};

class Report {
public:
    void Show(const std::string& capability, const Line& line) {
        switch (line.verdict) {
        case Verdict::kOk: PrintLine("ok      " + capability + (line.text.empty() ? "" : ": " + line.text)); break;
        case Verdict::kNote: PrintLine("note    " + capability + ": " + line.text); break;
        case Verdict::kProblem:
            ++problems_;
            PrintLine("PROBLEM " + capability + ": " + line.text);
            break;
        }
    }
    int problems() const { return problems_; }

private:
    int problems_ = 0;
};

}  // namespace

int RunCheck(const CheckOptions& options) {
    Report report;
    std::string error;
    Installation installation;
    if (!FindInstallation(options.engine, &installation, &error)) {
        report.Show("opens", Problem(error));
        PrintLine("1 problem found");
        return 1;
    }
    const cecp::EngineConfig settings = ReadSettings(installation);
    const std::string protocol = settings.protocol, commandLine = settings.commandLine;
    Dialect dialect;
    const bool knownDialect = cecp::ReadDialectSetting(settings.protocol, &dialect);
    PrintLine("checking " + installation.module.string());
    PrintLine("  engine   " + installation.executable.string() + (commandLine.empty() ? "" : " " + commandLine));
    PrintLine("  settings Protocol=" + (protocol.empty() ? "(none: 1)" : protocol) +
              ", AnalyzeMode=" + (settings.analyzeMode ? "true" : "false") +
              ", PonderMode=" + (settings.ponderMode ? "true" : "false") +
              ", CastleAndEP=" + (settings.castleAndEP ? "true" : "false"));

    // Ctrl-C closes the engine before the program ends.
    InstallInterruptHandler();
    Bench bench(installation);
    std::int64_t openMs = 0, idleMs = 0;
    EngineSession* first = bench.Open(&error, &openMs, &idleMs);
    if (!first) {
        report.Show("opens", Problem(error));
    } else {
        const std::string said = first->name() + (first->author().empty() ? "" : " by " + first->author());
        report.Show("opens", Ok(said + "; " + (knownDialect ? DialectName(dialect) : "an unknown dialect") +
                                " (Protocol=" + (protocol.empty() ? "1" : protocol) + "), in " +
                                SecondsText(openMs) + ", idle after " + SecondsText(idleMs)));

        // Each capability on an engine that can take it: one left unusable by
        // the capability before is opened anew.
        auto run = [&](const std::string& capability, const std::function<Line(EngineSession&)>& body) {
            if (Interrupted()) return;
            EngineSession* engine = bench.Open(&error, nullptr);
            if (!engine) {
                report.Show(capability, Problem("not checked: the engine did not open again: " + error));
                return;
            }
            const Line line = body(*engine);
            if (Interrupted()) return;
            report.Show(capability, line);
            if (line.unusable) bench.Discard();
        };
        const Board start;
        run("plays from the start position", [&](EngineSession& engine) { return PlaysFrom(engine, start, true); });
        run("plays from a set-up position (" + std::string(kSetUpFen) + ")", [&](EngineSession& engine) {
            std::string fenError;
            return PlaysFrom(engine, *Board::FromFen(kSetUpFen, &fenError), false);
        });
        run("moves at once when told", MovesWhenTold);
        if (settings.analyzeMode)
            run("analyses", [&](EngineSession& engine) { return Analyses(engine, installation.settings.string()); });
        else
            report.Show("analyses", Note("not checked: its settings say AnalyzeMode=false"));
        if (settings.ponderMode) {
            run("ponder hit", PonderHit);
            run("ponder miss", PonderMiss);
        } else {
            report.Show("ponders", Note("not checked: its settings say PonderMode=false"));
        }

        // An engine left unusable by the last capability is opened anew to be closed.
        if (!Interrupted()) {
            if (EngineSession* last = bench.Open(&error, nullptr)) {
                const auto closing = Clock::now();
                last->Close();
                if (last->Stuck())
                    report.Show("closes", Problem("closing it did not finish"));
                else
                    report.Show("closes", Ok("in " + SecondsText(MillisecondsSince(closing))));
            } else {
                report.Show("closes", Problem("not checked: the engine did not open again: " + error));
            }
        }
        bench.Discard();
    }

    const int problems = report.problems();
    if (Interrupted())
        PrintLine("interrupted");
    else
        PrintLine(problems == 0 ? "everything checked works"
                                : std::to_string(problems) + " problem" + (problems == 1 ? "" : "s") + " found");
    const int status = Interrupted() ? 130 : problems == 0 ? 0 : 1;
    if (AnyStuck()) ExitNow(status);
    return status;
}

}  // namespace enghost
