// enghost match: a round robin or a gauntlet between installed engines, or
// an SPRT between two, some games at a time, each game with its own loaded
// copies of the modules.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "commands.h"
#include "game.h"
#include "interrupt.h"
#include "openings.h"
#include "output.h"
#include "session.h"
#include "sprt.h"
#include "standings.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace enghost {

namespace {

struct Entrant {
    Installation installation;
    cecp::EngineConfig settings;
    std::string name;
    Tally tally;
    bool ponders = false;  // allowed to: --ponder, and its settings say PonderMode=true
    PonderStats ponder;    // summed over its games
};

struct Finished {
    Pairing pairing;
    GameOutcome outcome;
};

// The SPRT of a match of two engines, from the first engine's side.
struct Sprt {
    SprtSettings settings;
    bool pentanomial = false;  // from game pairs (with openings), else from single games
    Pentanomial pairs{};
    // Game pairs with one game finished: the first engine's points in it.
    std::map<int, double> halfPairs;
    double llr = 0;
    SprtVerdict verdict = SprtVerdict::kGoOn;
    int decidedAfter = 0;  // the games finished when it decided

    // Takes a counted game's points for the first engine; the ratio anew.
    void Add(const Tally& first, const Pairing& pairing, double points) {
        if (pentanomial) {
            auto half = halfPairs.find(pairing.gamePair);
            if (half == halfPairs.end()) {
                halfPairs[pairing.gamePair] = points;
                return;
            }
            ++pairs[static_cast<std::size_t>((half->second + points) * 2)];
            halfPairs.erase(half);
            llr = PentanomialLlr(pairs, settings);
        } else {
            llr = TrinomialLlr(first.wins, first.draws, first.losses, settings);
        }
    }
};

struct MatchState {
    std::mutex mutex;
    std::vector<Entrant> entrants;
    std::vector<Finished> finished;
    fs::path pgnFile;
    bool pgnFailed = false;
    int total = 0;
    bool gauntlet = false;
    std::optional<Sprt> sprt;
    std::atomic<bool> decided{false};  // the SPRT has decided: no game is begun
};

std::string Points(double points) {
    char text[32];
    std::snprintf(text, sizeof text, points == static_cast<long>(points) ? "%.0f" : "%.1f", points);
    return text;
}

std::string Pair(const MatchState& state, const Pairing& pairing) {
    return state.entrants[static_cast<std::size_t>(pairing.white)].name + " - " +
           state.entrants[static_cast<std::size_t>(pairing.black)].name;
}

// Names as the table and the PGN show them: the settings' Engine, else the
// installation's name; where two are the same, the installation's name is
// added, and where they are still the same (one engine given twice), a number.
void NameEntrants(std::vector<Entrant>& entrants) {
    std::vector<std::string> shown;
    for (const Entrant& entrant : entrants)
        shown.push_back(entrant.settings.engine[0] == '\0' ? entrant.installation.name : entrant.settings.engine);
    for (std::size_t i = 0; i < entrants.size(); ++i) {
        entrants[i].name = shown[i];
        const auto same = std::count(shown.begin(), shown.end(), shown[i]);
        if (same > 1 && entrants[i].installation.name != shown[i])
            entrants[i].name += " (" + entrants[i].installation.name + ")";
    }
    for (std::size_t i = 0; i < entrants.size(); ++i) {
        int earlier = 0;
        for (std::size_t j = 0; j < i; ++j) earlier += entrants[j].name == entrants[i].name;
        if (earlier > 0) entrants[i].name += " #" + std::to_string(earlier + 1);
    }
}

bool Counted(const GameOutcome& outcome) { return outcome.result != "*"; }

void Record(MatchState& state, const Pairing& pairing, const GameOutcome& outcome) {
    std::lock_guard lock(state.mutex);
    Entrant& white = state.entrants[static_cast<std::size_t>(pairing.white)];
    Entrant& black = state.entrants[static_cast<std::size_t>(pairing.black)];
    white.tally.Add(outcome.result, true);
    black.tally.Add(outcome.result, false);
    white.ponder.Add(outcome.ponder[0]);
    black.ponder.Add(outcome.ponder[1]);
    state.finished.push_back({pairing, outcome});
    std::string llr;
    if (state.sprt && Counted(outcome)) {
        Sprt& sprt = *state.sprt;
        Tally game;
        game.Add(outcome.result, pairing.white == 0);
        sprt.Add(state.entrants[0].tally, pairing, game.points());
        if (sprt.verdict == SprtVerdict::kGoOn) {
            sprt.verdict = Judge(sprt.llr, sprt.settings);
            sprt.decidedAfter = static_cast<int>(state.finished.size());
            if (sprt.verdict != SprtVerdict::kGoOn) state.decided = true;
        }
        llr = "  " + LlrText(sprt.llr, sprt.settings);
    }

    std::string standing;
    for (const Entrant& entrant : state.entrants)
        standing += (standing.empty() ? "" : ", ") + entrant.name + " " + Points(entrant.tally.points()) + "/" +
                    std::to_string(entrant.tally.games());
    PrintLine("game " + std::to_string(pairing.number) + "/" + std::to_string(state.total) + "  " +
              Pair(state, pairing) + "  " + outcome.result + "  " + outcome.reason +
              (outcome.plies > 0 ? " (" + std::to_string((outcome.plies + 1) / 2) + " moves)" : "") + "  [" +
              standing + "]" + llr);

    if (!state.pgnFile.empty() && !outcome.pgn.empty()) {
        std::ofstream out(state.pgnFile, std::ios::app | std::ios::binary);
        out << outcome.pgn;
        out.close();
        if (!out && !state.pgnFailed) {
            state.pgnFailed = true;
            PrintError("cannot write the games to " + state.pgnFile.string());
        }
    }
}

struct GameJob {
    const MatchOptions* options;
    const TimeControl* control;
    const std::vector<Opening>* openings;
};

GameOutcome PlayOne(MatchState& state, const GameJob& job, const Pairing& pairing) {
    const Entrant* players[2] = {&state.entrants[static_cast<std::size_t>(pairing.white)],
                                 &state.entrants[static_cast<std::size_t>(pairing.black)]};
    GameSetup setup;
    setup.control = *job.control;
    setup.maxMoves = job.options->maxMoves;
    setup.event = job.options->event;
    setup.site = job.options->site;
    setup.round = std::to_string(pairing.number);
    setup.showMoves = false;
    if (pairing.opening >= 0) {
        const Opening& opening = (*job.openings)[static_cast<std::size_t>(pairing.opening)];
        setup.start = opening.start;
        setup.standardStart = opening.standardStart;
        setup.opening = opening.moves;
        setup.extraTags.push_back({"Opening", opening.name});
    }

    // Each game has modules of its own: a module drives one engine.
    std::unique_ptr<EngineSession> engines[2];
    GameSide sides[2];
    GameOutcome outcome;
    for (int i = 0; i < 2 && !Interrupted(); ++i) {
        std::string error;
        engines[i] = EngineSession::Open(players[i]->installation, ModuleCopy::kPrivate, &error);
        if (!engines[i]) {
            outcome.result = "*";
            outcome.reason = std::string(i == 0 ? "White" : "Black") + "'s engine could not be opened: " + error;
            outcome.termination = "abandoned";
            outcome.kind = EndKind::kFault;
            outcome.faultySide = i;
            for (auto& engine : engines) Dispose(engine);
            return outcome;
        }
        sides[i].engine = engines[i].get();
        sides[i].name = players[i]->name;
        sides[i].ponders = players[i]->ponders;
    }
    if (Interrupted()) {
        for (auto& engine : engines) Dispose(engine);
        outcome.reason = "interrupted";
        outcome.kind = EndKind::kInterrupted;
        return outcome;
    }
    outcome = PlayGame(setup, sides);
    for (auto& engine : engines) Dispose(engine);
    return outcome;
}

// Each pair's result where more than two engines play: "A - B  2.5-1.5
// (+2 =1 -1)", from the first named's side.
void PrintHeadToHead(const MatchState& state) {
    if (state.entrants.size() <= 2) return;
    std::map<std::pair<int, int>, Tally> pairs;
    for (const Finished& game : state.finished) {
        if (!Counted(game.outcome)) continue;
        const int first = std::min(game.pairing.white, game.pairing.black);
        pairs[{first, std::max(game.pairing.white, game.pairing.black)}].Add(game.outcome.result,
                                                                            game.pairing.white == first);
    }
    if (pairs.empty()) return;
    PrintLine("head to head:");
    for (const auto& [pair, tally] : pairs) {
        PrintLine("  " + state.entrants[static_cast<std::size_t>(pair.first)].name + " - " +
                  state.entrants[static_cast<std::size_t>(pair.second)].name + "  " + Points(tally.points()) + "-" +
                  Points(tally.games() - tally.points()) + " (+" + std::to_string(tally.wins) + " =" +
                  std::to_string(tally.draws) + " -" + std::to_string(tally.losses) + ")");
    }
}

// "SPRT elo0=0 elo1=5 alpha=0.05 beta=0.05, from 12 game pairs: H1 (elo1)
// accepted after 24 games (LLR 2.97 (-2.94, 2.94))"; "no decision" while the
// ratio lies between the bounds.
void PrintSprt(const Sprt& sprt) {
    char head[160];
    std::snprintf(head, sizeof head, "SPRT elo0=%g elo1=%g alpha=%g beta=%g, ", sprt.settings.elo0, sprt.settings.elo1,
                  sprt.settings.alpha, sprt.settings.beta);
    std::int64_t units = 0;
    for (std::int64_t count : sprt.pairs) units += count;
    const std::string from = sprt.pentanomial ? "from " + std::to_string(units) + " game pairs: "
                                              : std::string("from single games: ");
    std::string verdict = "no decision";
    if (sprt.verdict != SprtVerdict::kGoOn)
        verdict = std::string(sprt.verdict == SprtVerdict::kH1 ? "H1 (elo1)" : "H0 (elo0)") + " accepted after " +
                  std::to_string(sprt.decidedAfter) + " games";
    PrintLine(head + from + verdict + " (" + LlrText(sprt.llr, sprt.settings) + ")");
}

void PrintTable(const MatchState& state) {
    std::vector<const Entrant*> order;
    for (const Entrant& entrant : state.entrants) order.push_back(&entrant);
    // A gauntlet ranks the others by their score against the first engine,
    // which heads the table.
    std::stable_sort(order.begin() + (state.gauntlet ? 1 : 0), order.end(),
                     [](const Entrant* a, const Entrant* b) { return a->tally.points() > b->tally.points(); });
    std::size_t width = 6;
    for (const Entrant* entrant : order) width = std::max(width, entrant->name.size());
    auto padded = [](std::string text, std::size_t size) {
        if (text.size() < size) text += std::string(size - text.size(), ' ');
        return text;
    };
    PrintLine(padded("engine", width) + "  games  wins  draws  losses  score    Elo difference to its opponents");
    for (const Entrant* entrant : order) {
        const Tally& tally = entrant->tally;
        char numbers[96];
        if (tally.games() == 0)
            std::snprintf(numbers, sizeof numbers, "  %5d  %4d  %5d  %6d  %7s  ", 0, 0, 0, 0, "-");
        else
            std::snprintf(numbers, sizeof numbers, "  %5d  %4d  %5d  %6d  %5.1f %%  ", tally.games(), tally.wins,
                          tally.draws, tally.losses, 100.0 * tally.score());
        PrintLine(padded(entrant->name, width) + numbers + EloText(tally));
    }
    PrintHeadToHead(state);
    if (state.sprt) PrintSprt(*state.sprt);
    for (const Entrant& entrant : state.entrants)
        if (entrant.ponders) PrintLine(PonderText(entrant.name, entrant.ponder));
}

// The time control, the schedule's numbers, the SPRT and the openings the
// options give; false (a message shown) when one is bad.
bool ReadRules(const MatchOptions& options, TimeControl* control, std::vector<Opening>* openings,
               std::optional<Sprt>* sprt) {
    std::string error;
    if (options.secondsPerMove > 0) {
        *control = TimeControl::FixedPerMove(options.secondsPerMove);
    } else if (auto parsed = TimeControl::Parse(options.timeControl, &error)) {
        *control = *parsed;
    } else {
        PrintError(error);
        return false;
    }
    if (options.engines.size() < 2) {
        PrintError("a match needs two engines or more");
        return false;
    }
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    if (options.concurrency < 1 || static_cast<unsigned>(options.concurrency) > threads) {
        PrintError("--concurrency " + std::to_string(options.concurrency) + ": this machine runs " +
                   std::to_string(threads) + " thread" + (threads == 1 ? "" : "s") + " at a time; give 1 to " +
                   std::to_string(threads));
        return false;
    }
    if (options.gamesPerPair < 0) {
        PrintError("--games must be 1 or more");
        return false;
    }
    if (!options.sprt.empty()) {
        if (options.engines.size() != 2) {
            PrintError("--sprt tests two engines, not " + std::to_string(options.engines.size()));
            return false;
        }
        auto settings = ParseSprt(options.sprt, &error);
        if (!settings) {
            PrintError("--sprt: " + error);
            return false;
        }
        sprt->emplace();
        (*sprt)->settings = *settings;
    }
    if (options.openingsFile.empty()) return true;
    auto read = ReadOpenings(options.openingsFile, &error);
    if (!read) {
        PrintError(error);
        return false;
    }
    *openings = std::move(*read);
    // Each opening is played once with each colour: pairs of games.
    if (*sprt) (*sprt)->pentanomial = true;
    return true;
}

// The engines, named, and the file the games go to; false (a message shown)
// when an engine is not installed or the file cannot be written.
bool Enter(const MatchOptions& options, MatchState* state) {
    for (const std::string& engine : options.engines) {
        Entrant entrant;
        std::string error;
        if (!FindInstallation(engine, &entrant.installation, &error)) {
            PrintError(error);
            return false;
        }
        entrant.settings = ReadSettings(entrant.installation);
        entrant.ponders = options.ponder && entrant.settings.ponderMode;
        state->entrants.push_back(std::move(entrant));
    }
    NameEntrants(state->entrants);
    if (options.pgnFile.empty()) return true;
    // The module changes the working folder on Windows: the path is made
    // absolute first; it must be writable before the first game.
    state->pgnFile = fs::absolute(options.pgnFile);
    std::ofstream probe(state->pgnFile, std::ios::app | std::ios::binary);
    if (!probe) PrintError("cannot write to " + state->pgnFile.string());
    return static_cast<bool>(probe);
}

// Plays the schedule, workers games at a time, until it is done or the
// program is interrupted.
void PlaySchedule(MatchState& state, const GameJob& job, const std::vector<Pairing>& schedule, int workers) {
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (;;) {
            if (Interrupted() || state.decided) return;
            const std::size_t index = next++;
            if (index >= schedule.size()) return;
            const GameOutcome outcome = PlayOne(state, job, schedule[index]);
            if (outcome.kind == EndKind::kInterrupted) return;
            Record(state, schedule[index], outcome);
        }
    };
    std::vector<std::thread> pool;
    for (int i = 1; i < workers; ++i) pool.emplace_back(work);
    work();
    for (std::thread& thread : pool) thread.join();
}

// Lists the games that did not end by the rules of chess or by a clock, in
// their order; returns how many of them an engine's fault ended.
int ListIrregularGames(MatchState& state) {
    std::sort(state.finished.begin(), state.finished.end(),
              [](const Finished& a, const Finished& b) { return a.pairing.number < b.pairing.number; });
    int faults = 0, unfinished = 0;
    for (const Finished& game : state.finished) {
        faults += game.outcome.kind == EndKind::kFault;
        unfinished += game.outcome.kind == EndKind::kUnfinished;
    }
    if (faults + unfinished == 0) {
        if (!state.finished.empty()) PrintLine("every game ended by the rules of chess or by a clock");
        return 0;
    }
    PrintLine("games that did not end by the rules of chess or by a clock:");
    for (const Finished& game : state.finished) {
        if (game.outcome.kind != EndKind::kFault && game.outcome.kind != EndKind::kUnfinished) continue;
        PrintLine("  game " + std::to_string(game.pairing.number) + " (" + Pair(state, game.pairing) + ", " +
                  (Counted(game.outcome) ? game.outcome.result : "not counted") + "): " + game.outcome.reason);
    }
    return faults;
}

}  // namespace

int RunMatch(const MatchOptions& options) {
    TimeControl control;
    std::vector<Opening> openings;
    MatchState state;
    if (!ReadRules(options, &control, &openings, &state.sprt) || !Enter(options, &state)) return 2;
    state.gauntlet = options.gauntlet;

    const int engines = static_cast<int>(state.entrants.size());
    const int gamesPerPair = options.gamesPerPair > 0 ? options.gamesPerPair : state.sprt ? kSprtMaxGames : 2;
    const std::vector<Pairing> schedule = Schedule(options.gauntlet ? GauntletPairs(engines) : RoundRobinPairs(engines),
                                                   gamesPerPair, static_cast<int>(openings.size()));
    state.total = static_cast<int>(schedule.size());
    const int workers = std::min(options.concurrency, state.total);
    std::string who = std::to_string(engines) + " engines";
    if (options.gauntlet)
        who = "a gauntlet of " + state.entrants[0].name + " against " + std::to_string(engines - 1) + " other" +
              (engines == 2 ? "" : "s");
    if (state.sprt)
        who = std::string("an SPRT (LLR bounds ") + BoundsText(state.sprt->settings) + ", from " +
              (state.sprt->pentanomial ? "game pairs" : "single games") + ") of " + who;
    PrintLine("match: " + who + ", " + (state.sprt ? "at most " : "") + std::to_string(state.total) + " games (" +
              std::to_string(gamesPerPair) + " a pair), time control " + control.PgnText() +
              (openings.empty() ? ", from the start position" : ", " + std::to_string(openings.size()) + " openings") +
              ", " + std::to_string(workers) + " at a time" + (options.ponder ? ", pondering" : ""));
    if (options.ponder)
        for (const Entrant& entrant : state.entrants)
            if (!entrant.settings.ponderMode)
                PrintLine("note: " + entrant.name + " does not ponder: its settings say PonderMode=false");

    InstallInterruptHandler();
    const auto started = Clock::now();
    PlaySchedule(state, GameJob{&options, &control, &openings}, schedule, workers);

    const bool interrupted = Interrupted();
    PrintLine("");
    PrintLine(std::to_string(state.finished.size()) + " of " + std::to_string(state.total) + " games played in " +
              SecondsText(MillisecondsSince(started)) + (interrupted ? " (interrupted)" : ""));
    PrintTable(state);
    const int faults = ListIrregularGames(state);

    int status = faults > 0 || state.pgnFailed ? 1 : 0;
    if (interrupted) status = 130;
    if (AnyStuck()) ExitNow(status);
    return status;
}

}  // namespace enghost
