// enghost check: what works, and what does not, with an installed engine.
#include <chrono>
#include <memory>

#include "board.h"
#include "commands.h"
#include "output.h"
#include "session.h"

using Clock = std::chrono::steady_clock;

namespace enghost {

namespace {

// A position whose moves the start position does not have: an engine that
// did not take it answers with a move that does not fit.
constexpr const char* kSetUpFen = "6k1/5ppp/8/8/8/8/8/3R2K1 w - - 0 1";

struct Checker {
    int failures = 0;
    void Ok(const std::string& text) { PrintLine("ok      " + text); }
    void Fail(const std::string& text) {
        ++failures;
        PrintLine("PROBLEM " + text);
    }
    void Note(const std::string& text) { PrintLine("note    " + text); }
};

struct Attempt {
    SearchOutcome outcome;
    std::string moveText;
};

// One search under a fixed time, asked for its move at the deadline.
Attempt Search(EngineSession& engine, const Board& start, bool standardStart, const std::vector<cecp::MoveWord>& moves,
               int seconds, std::int64_t stopAfterMs, std::int64_t giveUpMs) {
    SearchRecord record;
    record.SetGame(start, standardStart, moves);
    ClockFields clock;
    clock.mode = 3;
    clock.timeLeft = seconds;
    clock.movesToGo = 1;
    record.SetClock(clock);
    const auto began = Clock::now();
    engine.Begin(record);
    Attempt attempt;
    attempt.outcome = AwaitSearch(engine, began, stopAfterMs, giveUpMs);
    if (attempt.outcome.end == SearchEnd::kMove) {
        Board board = start;
        for (cecp::MoveWord move : moves) board.Play(move);
        attempt.moveText = board.IsLegal(attempt.outcome.move) ? board.San(attempt.outcome.move)
                                                               : CoordinateText(attempt.outcome.move);
    }
    return attempt;
}

std::string Details(const SearchOutcome& outcome) {
    return "after " + SecondsText(outcome.elapsedMs) + " (depth " + std::to_string(outcome.progress.depth) + ", " +
           ScoreText(outcome.progress.score) + ")";
}

// The words for a search that ended without a move; true when the engine
// can take no further search.
bool Explain(Checker& checker, const std::string& what, const SearchOutcome& outcome, std::int64_t waitedMs) {
    const bool silent = outcome.progress.lines == 0 && outcome.progress.depth <= 1;
    switch (outcome.end) {
    case SearchEnd::kDied: checker.Fail(what + ": the engine ended (it crashed or quit) during the search"); return true;
    case SearchEnd::kStuck:
        if (silent)
            checker.Fail(what + ": the engine answers nothing: no thinking and no move in " + SecondsText(waitedMs) +
                         ", not even when told to move at once (?)");
        else
            checker.Fail(what + ": the engine thinks but never moves, not even when told to move at once (?)");
        return true;
    case SearchEnd::kNoMove:
        checker.Fail(what + ": the engine's move was not recognised (not a legal move in the position it was given)");
        return false;
    case SearchEnd::kInterrupted:
    case SearchEnd::kMove: break;
    }
    return false;
}

}  // namespace

int RunCheck(const CheckOptions& options) {
    Checker checker;
    std::string error;
    Installation installation;
    if (!FindInstallation(options.engine, &installation, &error)) {
        checker.Fail("cannot be started: " + error);
        return 1;
    }
    const EngineSettings settings = ReadSettings(installation.settings);
    PrintLine("checking " + installation.module.string());
    PrintLine("  engine   " + installation.executable.string() +
              (settings.commandLine.empty() ? "" : " " + settings.commandLine));

    const auto opening = Clock::now();
    auto engine = EngineSession::Open(installation, false, &error);
    if (!engine) {
        checker.Fail("cannot be started: " + error);
        Dispose(engine);
        if (AnyStuck()) ExitNow(1);
        return 1;
    }
    checker.Ok("opens: " + engine->name() + (engine->author().empty() ? "" : " by " + engine->author()) + ", in " +
               SecondsText(MillisecondsSince(opening)));

    bool usable = true;
    const Board start;
    // One second to think; asked for the move half a second after that.
    Attempt first = Search(*engine, start, true, {}, 1, 1500, 3000);
    if (first.outcome.end == SearchEnd::kMove) {
        if (start.IsLegal(first.outcome.move))
            checker.Ok("plays from the start position: " + first.moveText + " " + Details(first.outcome));
        else
            checker.Fail("from the start position it played the illegal move " + first.moveText);
        if (first.outcome.stoppedForTime) checker.Fail("it needed to be told to move: it overran its second");
    } else {
        usable = !Explain(checker, "from the start position", first.outcome, 4500);
        if (first.outcome.end == SearchEnd::kNoMove) usable = true;
    }

    if (usable) {
        std::string fenError;
        const Board setUp = *Board::FromFen(kSetUpFen, &fenError);
        Attempt second = Search(*engine, setUp, false, {}, 1, 1500, 3000);
        if (second.outcome.end == SearchEnd::kMove && setUp.IsLegal(second.outcome.move)) {
            checker.Ok("plays from a set-up position (" + std::string(kSetUpFen) + "): " + second.moveText + " " +
                       Details(second.outcome));
        } else if (second.outcome.end == SearchEnd::kNoMove || second.outcome.end == SearchEnd::kMove) {
            checker.Fail("from a set-up position its move was not recognised: the engine probably did not take the "
                         "position (the module sets it up with edit)");
        } else {
            usable = !Explain(checker, "from a set-up position", second.outcome, 4500);
        }
    }

    if (usable) {
        // A long think cut short: after 1.e4 e5 2.Nf3 Nc6, 30 s to think,
        // told after one second to move at once.
        Board board;
        std::vector<cecp::MoveWord> moves;
        for (const char* text : {"e4", "e5", "Nf3", "Nc6"}) {
            moves.push_back(*board.ParseTypedMove(text, &error));
            board.Play(moves.back());
        }
        Attempt third = Search(*engine, Board(), true, moves, 30, 1000, 3000);
        if (third.outcome.end == SearchEnd::kMove && !third.outcome.stoppedForTime) {
            checker.Note("it moved within a second of its 30, before it could be told to move at once");
        } else if (third.outcome.end == SearchEnd::kMove) {
            checker.Ok("moves at once when told to (?): " + third.moveText + " " +
                       SecondsText(third.outcome.elapsedMs - 1000) + " after being told");
        } else if (third.outcome.end == SearchEnd::kStuck) {
            checker.Fail("it ignores ? (move now): it went on thinking for " + SecondsText(3000) +
                         " after being told to move");
            usable = false;
        } else {
            usable = !Explain(checker, "told to move at once", third.outcome, 4000);
        }
    }

    if (!settings.analyze) {
        checker.Note("analysis not checked: its settings say AnalyzeMode=false");
    } else if (usable) {
        SearchRecord record;
        record.SetGame(start, true, {});
        record.SetClock(ClockFields{});
        const auto began = Clock::now();
        engine->Begin(record);
        while (MillisecondsSince(began) < 2000 && !engine->WaitDone(50) && engine->EngineAlive()) {
        }
        const Progress seen = engine->Live();
        engine->Stop();
        const bool stopped = engine->WaitDone(3000);
        if (seen.lines > 0 && seen.depth > 1 && start.IsLegal(seen.line.front()))
            checker.Ok("analyses: depth " + std::to_string(seen.depth) + " in 2 s, " + ScoreText(seen.score) + "  " +
                       start.SanLine(seen.line.data(), static_cast<int>(seen.line.size())));
        else
            checker.Fail("it rejects analyze, or reports nothing while analysing: with such an engine set "
                         "AnalyzeMode=false in " + installation.settings.string());
        if (!stopped) {
            checker.Fail("it does not stop analysing when told to (exit)");
            usable = false;
        }
    }

    const auto closing = Clock::now();
    engine->Close();
    if (engine->Stuck())
        checker.Fail("closing it did not finish");
    else
        checker.Ok("closes in " + SecondsText(MillisecondsSince(closing)));
    Dispose(engine);

    PrintLine(checker.failures == 0 ? "everything checked works"
                                    : std::to_string(checker.failures) + " problem" +
                                          (checker.failures == 1 ? "" : "s") + " found");
    const int status = checker.failures == 0 ? 0 : 1;
    if (AnyStuck()) ExitNow(status);
    return status;
}

}  // namespace enghost
