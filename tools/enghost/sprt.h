// The sequential probability ratio test of a match of two engines: does the
// first engine's Elo advantage lie at elo0 (hypothesis H0) or at elo1 (H1)?
// The log-likelihood ratio is the generalized one engine testers use: each
// hypothesis's distribution of results is the one most likely to have given
// the results seen among those whose expected score is that hypothesis's
// (logistic Elo), over games (wins, draws, losses) or over game pairs of one
// opening (the pair's points, 0 to 2 in halves).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace enghost {

struct SprtSettings {
    double elo0 = 0, elo1 = 5;
    double alpha = 0.05, beta = 0.05;  // the chances of accepting H1 when H0 holds, and H0 when H1 does
};

// The words after --sprt, "elo0=0 elo1=5 alpha=0.05 beta=0.05" (any order,
// each at most once; alpha and beta default to 0.05); nothing and the reason
// when a word is not one of them or its value is out of range (elo0 must lie
// below elo1, alpha and beta strictly between 0 and 0.5).
std::optional<SprtSettings> ParseSprt(const std::vector<std::string>& words, std::string* error);

// The LLR at which the test stops: below the lower bound it accepts H0,
// above the upper H1.
double SprtLowerBound(const SprtSettings& sprt);
double SprtUpperBound(const SprtSettings& sprt);

// The counts of game pairs by the first engine's points in the pair:
// index 0 for 0 points, 1 for 0.5, ..., 4 for 2.
using Pentanomial = std::array<std::int64_t, 5>;

// The log-likelihood ratio of H1 against H0 from the first engine's wins,
// draws and losses, or from its game pairs. 0 with no games. Outcomes never
// seen count as a thousandth of a game, so that a match with no draws, or
// one that a side won every game of, still has a finite ratio.
double TrinomialLlr(std::int64_t wins, std::int64_t draws, std::int64_t losses, const SprtSettings& sprt);
double PentanomialLlr(const Pentanomial& pairs, const SprtSettings& sprt);

enum class SprtVerdict { kGoOn, kH0, kH1 };
SprtVerdict Judge(double llr, const SprtSettings& sprt);

// "(-2.94, 2.94)": the bounds; "LLR 1.23 (-2.94, 2.94)": the ratio and the
// bounds, as each game's line shows them.
std::string BoundsText(const SprtSettings& sprt);
std::string LlrText(double llr, const SprtSettings& sprt);

}  // namespace enghost
