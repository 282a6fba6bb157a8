// A match's arithmetic: the order of its games, the score of an engine over
// its games, the Elo difference to its opponents that the score gives, and
// what its pondering came to.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace enghost {

struct Tally {
    int wins = 0, draws = 0, losses = 0;

    int games() const { return wins + draws + losses; }
    double points() const { return wins + 0.5 * draws; }
    // The share of the points, 0 to 1; 0.5 with no games.
    double score() const { return games() == 0 ? 0.5 : points() / games(); }
    // Counts a game's result ("1-0", "0-1", "1/2-1/2"; any other counts
    // nothing) for the side that played White, or Black.
    void Add(const std::string& result, bool asWhite) {
        if (result == "1/2-1/2")
            ++draws;
        else if (result == "1-0" || result == "0-1")
            ++((result == "1-0") == asWhite ? wins : losses);
    }
};

// The Elo difference a score gives in the logistic model:
// -400 log10(1 / score - 1). Nothing for a score of 0 or 1, which no finite
// difference gives.
std::optional<double> EloFromScore(double score);

struct EloEstimate {
    std::optional<double> elo;           // nothing: no finite value (every game won, or every game lost)
    std::optional<double> lower, upper;  // the 95 % interval; nothing: unbounded on that side
};

// The difference and its 95 % interval: the score plus and minus 1.96
// standard errors, the standard error from the spread of the games' results
// (wins, draws and losses) over the number of games.
EloEstimate EstimateElo(const Tally& tally);

// "+191 (95 %: +56 to +inf)", "0 (95 %: -84 to +84)", "no finite value (every game won)".
std::string EloText(const Tally& tally);

// One game of a match. Engines and openings are indices; opening -1: none
// (the start position).
struct Pairing {
    int number = 0;  // from 1, in the order the games are started
    int white = 0, black = 0;
    int opening = -1;
    int gamePair = 0;  // from 0: the two games of one pair of engines that share an opening, colours reversed
};

// The pairs of engines that meet, the first of each pair White in its first
// game: every pair (a round robin), or the first engine against each of the
// others (a gauntlet).
std::vector<std::pair<int, int>> RoundRobinPairs(int engines);
std::vector<std::pair<int, int>> GauntletPairs(int engines);

// Every pair plays gamesPerPair games, round by round (each round one game
// of every pair), colours alternating. Rounds 1 and 2 make each pair's first
// game pair, 3 and 4 its second, and so on; each game pair of the match takes
// the next opening, in the order the game pairs begin, over again when the
// openings run out.
std::vector<Pairing> Schedule(const std::vector<std::pair<int, int>>& pairs, int gamesPerPair, int openings);

// What one side's pondering came to. A ponder search that is neither hit
// nor missed was cut short by the end of the game, or ended by itself before
// the opponent moved.
struct PonderStats {
    int searches = 0;  // ponder searches started
    int hits = 0;      // the opponent played the reply pondered on: the search went on as the move's
    int misses = 0;    // it played another: the search was stopped, and a new one begun
    // For each hit, the time charged to the clock: from the opponent's move
    // to the engine's, in milliseconds.
    std::vector<std::int64_t> hitMs;

    void Add(const PonderStats& other);
};

// "ponder  NAME: 31 searches, 17 hits (55 %), 12 misses, after a hit 0.41 s
// on average (median 0.12 s)", the share of the searches that were hits; the
// part after a hit only when there was one, "ponder  NAME: 0 searches" alone
// when there was no ponder search.
std::string PonderText(const std::string& name, const PonderStats& stats);

}  // namespace enghost
