#include "standings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace enghost {

namespace {

std::string Signed(double elo) {
    char text[32];
    const long rounded = std::lround(elo);
    std::snprintf(text, sizeof text, rounded > 0 ? "+%ld" : "%ld", rounded);
    return text;
}

std::string Counted(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::optional<double> EloFromScore(double score) {
    if (!(score > 0.0 && score < 1.0)) return std::nullopt;
    return -400.0 * std::log10(1.0 / score - 1.0);
}

EloEstimate EstimateElo(const Tally& tally) {
    EloEstimate estimate;
    const int games = tally.games();
    if (games == 0) return estimate;
    const double score = tally.score();
    estimate.elo = EloFromScore(score);
    const double variance = (tally.wins * (1.0 - score) * (1.0 - score) + tally.draws * (0.5 - score) * (0.5 - score) +
                             tally.losses * score * score) /
                            games;
    const double margin = 1.96 * std::sqrt(variance / games);
    estimate.lower = EloFromScore(score - margin);
    estimate.upper = EloFromScore(score + margin);
    // A bound beyond 0 or 1 is unbounded on its side; the one of a finite
    // score with no spread is the score itself.
    if (margin == 0.0) estimate.lower = estimate.upper = estimate.elo;
    return estimate;
}

std::string EloText(const Tally& tally) {
    if (tally.games() == 0) return "no games";
    const EloEstimate estimate = EstimateElo(tally);
    if (!estimate.elo)
        return std::string("no finite value (every game ") + (tally.wins > 0 ? "won" : "lost") + ")";
    return Signed(*estimate.elo) + " (95 %: " + (estimate.lower ? Signed(*estimate.lower) : "-inf") + " to " +
           (estimate.upper ? Signed(*estimate.upper) : "+inf") + ")";
}

std::vector<std::pair<int, int>> RoundRobinPairs(int engines) {
    std::vector<std::pair<int, int>> pairs;
    for (int first = 0; first < engines; ++first)
        for (int second = first + 1; second < engines; ++second) pairs.emplace_back(first, second);
    return pairs;
}

std::vector<std::pair<int, int>> GauntletPairs(int engines) {
    std::vector<std::pair<int, int>> pairs;
    for (int other = 1; other < engines; ++other) pairs.emplace_back(0, other);
    return pairs;
}

std::vector<Pairing> Schedule(const std::vector<std::pair<int, int>>& pairs, int gamesPerPair, int openings) {
    std::vector<Pairing> games;
    for (int round = 0; round < gamesPerPair; ++round) {
        for (std::size_t p = 0; p < pairs.size(); ++p) {
            const auto [first, second] = pairs[p];
            Pairing game;
            game.number = static_cast<int>(games.size()) + 1;
            game.white = round % 2 == 0 ? first : second;
            game.black = round % 2 == 0 ? second : first;
            game.gamePair = round / 2 * static_cast<int>(pairs.size()) + static_cast<int>(p);
            game.opening = openings > 0 ? game.gamePair % openings : -1;
            games.push_back(game);
        }
    }
    return games;
}

void PonderStats::Add(const PonderStats& other) {
    searches += other.searches;
    hits += other.hits;
    misses += other.misses;
    hitMs.insert(hitMs.end(), other.hitMs.begin(), other.hitMs.end());
}

std::string PonderText(const std::string& name, const PonderStats& stats) {
    std::string text = "ponder  " + name + ": " + Counted(stats.searches, "search", "searches");
    if (stats.searches == 0) return text;
    text += ", " + Counted(stats.hits, "hit", "hits") + " (" +
            std::to_string(static_cast<int>(100.0 * stats.hits / stats.searches + 0.5)) + " %), " +
            Counted(stats.misses, "miss", "misses");
    if (!stats.hitMs.empty()) {
        std::vector<std::int64_t> sorted = stats.hitMs;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t middle = sorted.size() / 2;
        const double median = sorted.size() % 2 == 1 ? static_cast<double>(sorted[middle])
                                                     : (sorted[middle - 1] + sorted[middle]) / 2.0;
        double sum = 0;
        for (std::int64_t ms : sorted) sum += static_cast<double>(ms);
        char seconds[96];
        std::snprintf(seconds, sizeof seconds, ", after a hit %.2f s on average (median %.2f s)",
                      sum / static_cast<double>(sorted.size()) / 1000.0, median / 1000.0);
        text += seconds;
    }
    return text;
}

}  // namespace enghost
