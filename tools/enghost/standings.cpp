#include "standings.h"

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

std::vector<Pairing> RoundRobin(int engines, int gamesPerPair, int openings) {
    std::vector<Pairing> games;
    for (int round = 0; round < gamesPerPair; ++round) {
        for (int first = 0; first < engines; ++first) {
            for (int second = first + 1; second < engines; ++second) {
                Pairing game;
                game.number = static_cast<int>(games.size()) + 1;
                game.white = round % 2 == 0 ? first : second;
                game.black = round % 2 == 0 ? second : first;
                game.opening = openings > 0 ? (round / 2) % openings : -1;
                games.push_back(game);
            }
        }
    }
    return games;
}

}  // namespace enghost
