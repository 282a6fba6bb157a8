// enghost check: each capability of an installed engine on its own, one line
// each, and a verdict.
#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "board.h"
#include "commands.h"
#include "detect.h"
#include "engine/echo.h"
#include "interrupt.h"
#include "output.h"
#include "session.h"
#include "settings_file.h"

using Clock = std::chrono::steady_clock;

namespace enghost {

namespace {

// A position whose moves the start position does not have: an engine that
// did not take it answers with a move that does not fit.
constexpr const char* kSetUpFen = "6k1/5ppp/8/8/8/8/8/3R2K1 w - - 0 1";
// What needs a search (move now, analysis, pondering) is checked in a
// middlegame no opening book holds, an Italian game whose kings and knights
// then stepped aside and back: from a book position an engine with a book of
// its own answers from it, and neither thinks, nor analyses, nor ponders.
constexpr const char* kMiddlegame[] = {"e4", "e5", "Nf3", "Nc6", "Bc4", "Bc5", "d3",
                                       "Nf6", "O-O", "O-O", "Kh1", "Kh8", "Ng1", "Ng8"};
// The ponder checks go on from it: the engine plays White after 8.Nh3,
// pondering on 8...Nh6; a miss is 8...Nge7.
constexpr const char* kOwnMove = "Nh3";
constexpr const char* kExpectedReply = "Nh6";
constexpr const char* kMissedReply = "Nge7";

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
    // The engine showed nothing at all: no line and no move.
    bool silent = false;
};

Line Ok(const std::string& text) { return {Verdict::kOk, text}; }
Line Problem(const std::string& text, bool unusable = false) { return {Verdict::kProblem, text, unusable}; }
Line Note(const std::string& text) { return {Verdict::kNote, text}; }

// The middlegame's moves, then those given.
std::vector<cecp::MoveWord> MiddlegameMoves(std::initializer_list<const char*> then = {}) {
    Board board;
    std::vector<cecp::MoveWord> moves;
    std::string error;
    auto play = [&](const char* text) {
        moves.push_back(board.ParseTypedMove(text, &error).value());
        board.Play(moves.back());
    };
    for (const char* text : kMiddlegame) play(text);
    for (const char* text : then) play(text);
    return moves;
}

// A line of depth 0 that searched no nodes is what an engine shows for a
// move from its opening book.
bool IsBookLine(const Progress& progress) {
    return progress.lines > 0 && progress.depth == 0 && progress.nodes == 0;
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
    const Progress& seen = outcome.progress;
    const std::string how = seen.lines == 0   ? "no line shown"
                            : IsBookLine(seen) ? "from its book: a line of depth 0 and no nodes"
                                               : "depth " + std::to_string(seen.depth) + ", " + ScoreText(seen.score);
    return "after " + SecondsText(outcome.elapsedMs) + " (" + how + ")";
}

// The words for a search that did not end with a legal move in position; an
// empty text when it did.
Line Failure(const SearchOutcome& outcome, const Board& position, std::int64_t waitedMs) {
    switch (outcome.end) {
    case SearchEnd::kDied: return Problem("the engine ended (it crashed or quit) during the search", true);
    case SearchEnd::kStuck:
        if (outcome.progress.lines == 0 && outcome.progress.depth <= 1) {
            Line silent = Problem("nothing came: no thinking and no move in " + SecondsText(waitedMs) +
                                      ", not even when told to move at once",
                                  true);
            silent.silent = true;
            return silent;
        }
        return Problem("the engine thinks but never moves, not even when told to move at once", true);
    case SearchEnd::kNoMove:
        // An engine that was told to move and did not may still be thinking:
        // the next capability gets a fresh one.
        return Problem("the search ended without a move the module recognised (none, or not a legal move in the "
                       "position it was given)",
                       outcome.stoppedForTime);
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
    const std::vector<cecp::MoveWord> moves = MiddlegameMoves();
    const Board position = After(Board(), moves);
    const SearchOutcome outcome = Search(engine, Board(), true, moves, 30, 1000);
    if (outcome.end == SearchEnd::kStuck)
        return Problem(outcome.progress.lines > 0
                           ? "it went on thinking for " + SecondsText(kGiveUpMs) + " after being told to move"
                           : "no move and no line in the " + SecondsText(kGiveUpMs) +
                                 " after being told to move at once",
                       true);
    Line failure = Failure(outcome, position, 1000 + kGiveUpMs);
    if (failure.verdict != Verdict::kOk) return failure;
    if (!outcome.stoppedForTime)
        return Note("not checked: it moved " + Details(outcome) +
                    ", within a second of its 30, before it could be told to move at once");
    const std::int64_t afterMs = outcome.elapsedMs - 1000;
    // A move that comes in the end, but not at once, is the engine's own
    // time keeping: the request was not followed.
    if (afterMs > kAtOnceMs)
        return Problem("it played " + position.San(outcome.move) + " only " + SecondsText(afterMs) +
                       " after being told to move at once: it does not follow the request");
    return Ok(position.San(outcome.move) + " " + SecondsText(afterMs) + " after being told");
}

// silentBefore: an earlier capability found that the engine answers nothing.
Line Analyses(EngineSession& engine, const std::string& settingsFile, bool silentBefore) {
    const std::vector<cecp::MoveWord> moves = MiddlegameMoves();
    const Board position = After(Board(), moves);
    const auto began = Clock::now();
    engine.Begin(GameRequest(Board(), true, moves, cecp::SearchClock{}));
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
    if (seen.lines == 0 && !ended && silentBefore)
        return Problem("nothing came here either, as in the searches before", !prompt);
    if (seen.lines == 0 || seen.line.empty() || !position.IsLegal(seen.line.front()))
        return Problem(std::string(ended ? "the analysis ended at once" : "it reported nothing while analysing") +
                           ": it rejects analysis, or its lines are not understood; with such an engine set "
                           "AnalyzeMode=false in " + settingsFile,
                       !prompt);
    if (!prompt) return Problem("it does not stop analysing when told to", true);
    const std::string line = position.SanLine(seen.line.data(), static_cast<int>(seen.line.size()));
    if (IsBookLine(seen))
        return Note("it showed a line of depth 0 and no nodes, as from a book, and no search: " + line);
    return Ok("depth " + std::to_string(seen.depth) + " in 1.5 s, " + ScoreText(seen.score) + "  " + line);
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
    const std::vector<cecp::MoveWord> moves = MiddlegameMoves({kOwnMove, kExpectedReply});
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
    return Ok(std::string("pondered on 8...") + kExpectedReply + ", which came: " + move + " " +
              SecondsText(outcome.elapsedMs) + " after the hit");
}

Line PonderMiss(EngineSession& engine) {
    const std::vector<cecp::MoveWord> pondered = MiddlegameMoves({kOwnMove, kExpectedReply});
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
    const std::vector<cecp::MoveWord> played = MiddlegameMoves({kOwnMove, kMissedReply});
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
    return Ok("stopped in " + SecondsText(stopMs) + "; after 8..." + kMissedReply + " it played " + move + " " +
              Details(outcome));
}

// A line of the engine's own that tells of a trouble: an error, an illegal
// move, an unknown command, a message for the user's attention; in UCI,
// where engines have no other way, the same words after "info string".
bool IsComplaint(std::string_view line) {
    auto skipBlanks = [&] {
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    };
    skipBlanks();
    if (line.substr(0, 12) == "info string ") {
        line.remove_prefix(12);
        skipBlanks();
    }
    const std::string word(line.substr(0, line.find_first_of(" \t:(")));
    return SameName(word.substr(0, 5), "error") || SameName(word, "illegal") || SameName(word, "unknown") ||
           SameName(word, "tellusererror");
}

// What the engine said of its troubles, read from the log of its
// conversation (the copy's own, see ModuleCopy) since the last look; the
// commands sent and the module's notes are not its words.
class EngineWords {
public:
    void Follow(const std::filesystem::path& log) {
        log_ = log;
        offset_ = 0;
    }
    std::vector<std::string> Complaints() {
        std::vector<std::string> found;
        std::ifstream in(log_, std::ios::binary);
        if (log_.empty() || !in || !in.seekg(static_cast<std::streamoff>(offset_))) return found;
        std::string line;
        while (std::getline(in, line)) {
            if (in.eof()) break;  // a line still being written is read at the next look
            offset_ += line.size() + 1;
            while (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.rfind(cecp::kCommandMark, 0) == 0 || line.rfind(cecp::kNoteMark, 0) == 0 || !IsComplaint(line))
                continue;
            if (line.size() > 120) line = line.substr(0, 117) + "...";
            if (std::find(found.begin(), found.end(), line) == found.end()) found.push_back(line);
        }
        return found;
    }

private:
    std::filesystem::path log_;
    std::size_t offset_ = 0;
};

// The engine for the next capability, opened anew when the last one left it
// unusable. Each is a private copy of the module whose engine logs the
// conversation: a module whose thread is still stuck in a search cannot be
// opened again, and the log holds the engine's own words.
class Bench {
public:
    explicit Bench(const Installation& installation) : installation_(installation) {}
    ~Bench() { Dispose(engine_); }

    EngineSession* Open(std::string* error, std::int64_t* openMs, std::int64_t* idleMs = nullptr) {
        if (engine_) return engine_.get();
        const auto opening = Clock::now();
        engine_ = EngineSession::Open(installation_, ModuleCopy::kPrivateWithLog, error);
        if (openMs) *openMs = MillisecondsSince(opening);
        if (!engine_) return nullptr;
        served_ = false;
        words_.Follow(engine_->log());
        // Its first search is timed from its start: an engine busy setting
        // itself up (fairymax clears a 100 MB hash) is given that time first.
        const std::int64_t idle = engine_->AwaitIdle(kSettleMs);
        if (idleMs) *idleMs = idle;
        return engine_.get();
    }
    void Discard() { Dispose(engine_); }
    // What the engine said of its troubles since the last call.
    std::vector<std::string> Complaints() { return words_.Complaints(); }
    // The open engine has served a capability already.
    bool Served() const { return engine_ && served_; }
    void MarkServed() { served_ = true; }

private:
    Installation installation_;
    std::unique_ptr<EngineSession> engine_;
    bool served_ = false;
    EngineWords words_;
};

class Report {
public:
    // A problem is told with the engine's own words of its trouble, when it
    // said any.
    void Show(const std::string& capability, const Line& line, const std::vector<std::string>& complaints = {}) {
        switch (line.verdict) {
        case Verdict::kOk: PrintLine("ok      " + capability + (line.text.empty() ? "" : ": " + line.text)); break;
        case Verdict::kNote: PrintLine("note    " + capability + ": " + line.text); break;
        case Verdict::kProblem: {
            ++problems_;
            std::string said;
            for (std::size_t i = 0; i < complaints.size() && i < 2; ++i)
                said += (i == 0 ? "; the engine said \"" : " and \"") + complaints[i] + "\"";
            PrintLine("PROBLEM " + capability + ": " + line.text + said);
            break;
        }
        }
        silent_ = silent_ || line.silent;
    }
    int problems() const { return problems_; }
    // A capability found that the engine answers nothing.
    bool silent() const { return silent_; }

private:
    int problems_ = 0;
    bool silent_ = false;
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
        // the capability before is opened anew. A capability that fails on an
        // engine that served another first is checked again on a freshly
        // started one: the report then tells an engine that one capability
        // leaves unfit for the next (one that drops out of its protocol after
        // an analysis, say) from one that lacks the capability.
        std::string previous;  // the capability the open engine served last
        auto attempt = [&](const std::function<Line(EngineSession&)>& body, std::vector<std::string>* complaints) {
            EngineSession* engine = bench.Open(&error, nullptr);
            if (!engine) return Problem("not checked: the engine did not open again: " + error);
            bench.Complaints();  // what it said before this capability is not this capability's
            const Line line = body(*engine);
            *complaints = bench.Complaints();
            bench.MarkServed();
            if (line.unusable) bench.Discard();
            return line;
        };
        auto run = [&](const std::string& capability, const std::function<Line(EngineSession&)>& body) {
            if (Interrupted()) return;
            const bool servedBefore = bench.Served();
            std::vector<std::string> complaints;
            Line line = attempt(body, &complaints);
            if (line.verdict == Verdict::kProblem && servedBefore && !Interrupted()) {
                bench.Discard();
                std::vector<std::string> freshComplaints;
                const Line fresh = attempt(body, &freshComplaints);
                if (fresh.verdict == Verdict::kProblem) {
                    line = fresh;
                    complaints = freshComplaints;
                } else {
                    line.text = "it works on a freshly started engine (" + fresh.text +
                                "), but not after the check of " + previous + ": " + line.text;
                    line.silent = false;
                }
            }
            if (Interrupted()) return;
            report.Show(capability, line, complaints);
            previous = capability;
        };
        const Board start;
        run("plays from the start position", [&](EngineSession& engine) { return PlaysFrom(engine, start, true); });
        run("plays from a set-up position (" + std::string(kSetUpFen) + ")", [&](EngineSession& engine) {
            std::string fenError;
            return PlaysFrom(engine, *Board::FromFen(kSetUpFen, &fenError), false);
        });
        run("moves at once when told", MovesWhenTold);
        if (settings.analyzeMode)
            run("analyses", [&](EngineSession& engine) {
                return Analyses(engine, installation.settings.string(), report.silent());
            });
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
