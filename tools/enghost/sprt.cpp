#include "sprt.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace enghost {

namespace {

// The expected score of an advantage of elo in the logistic model.
double ExpectedScore(double elo) { return 1.0 / (1.0 + std::pow(10.0, -elo / 400.0)); }

// The share of each outcome: p[i] of the outcome scoring x[i] (0 to 1).
struct Results {
    std::vector<double> p, x;
    double units = 0;  // games or game pairs, unseen outcomes' thousandths included
};

Results ResultsOf(const std::int64_t* counts, const double* scores, std::size_t outcomes) {
    Results results;
    for (std::size_t i = 0; i < outcomes; ++i) {
        const double count = counts[i] > 0 ? static_cast<double>(counts[i]) : 1e-3;
        results.p.push_back(count);
        results.x.push_back(scores[i]);
        results.units += count;
    }
    for (double& p : results.p) p /= results.units;
    return results;
}

// The distribution with mean score s most likely to have given the results:
// q[i] = p[i] / (1 + lambda (x[i] - s)), lambda the root of
// sum p[i] (x[i] - s) / (1 + lambda (x[i] - s)) = 0 (Lagrange's condition),
// which falls from +inf to -inf over the lambdas that keep every
// denominator positive. Returns lambda; s lies strictly between the least
// and the greatest score, as every outcome has a share.
double LambdaForMean(const Results& results, double s) {
    double low = -1.0 / (1.0 - s), high = 1.0 / s;  // the scores span 0 to 1
    for (int i = 0; i < 200; ++i) {
        const double lambda = (low + high) / 2;
        double sum = 0;
        for (std::size_t k = 0; k < results.p.size(); ++k) {
            const double d = results.x[k] - s;
            sum += results.p[k] * d / (1.0 + lambda * d);
        }
        (sum > 0 ? low : high) = lambda;
    }
    return (low + high) / 2;
}

double Llr(const std::int64_t* counts, const double* scores, std::size_t outcomes, const SprtSettings& sprt) {
    std::int64_t seen = 0;
    for (std::size_t i = 0; i < outcomes; ++i) seen += counts[i];
    if (seen == 0) return 0.0;
    const Results results = ResultsOf(counts, scores, outcomes);
    const double s0 = ExpectedScore(sprt.elo0), s1 = ExpectedScore(sprt.elo1);
    const double lambda0 = LambdaForMean(results, s0), lambda1 = LambdaForMean(results, s1);
    // log(q1 / q0) for each outcome, weighed by its share.
    double sum = 0;
    for (std::size_t k = 0; k < results.p.size(); ++k) {
        sum += results.p[k] *
               (std::log1p(lambda0 * (results.x[k] - s0)) - std::log1p(lambda1 * (results.x[k] - s1)));
    }
    return results.units * sum;
}

// "NAME=VALUE" with NAME one of the test's, VALUE a finite number.
bool ReadWord(const std::string& word, std::string* name, double* value) {
    const std::size_t equals = word.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == word.size()) return false;
    *name = word.substr(0, equals);
    const char* text = word.c_str() + equals + 1;
    char* end = nullptr;
    errno = 0;
    *value = std::strtod(text, &end);
    return *end == '\0' && errno == 0 && std::isfinite(*value);
}

}  // namespace

std::optional<SprtSettings> ParseSprt(const std::vector<std::string>& words, std::string* error) {
    SprtSettings sprt;
    bool seen[4] = {};
    const char* const names[4] = {"elo0", "elo1", "alpha", "beta"};
    double* const values[4] = {&sprt.elo0, &sprt.elo1, &sprt.alpha, &sprt.beta};
    for (const std::string& word : words) {
        std::string name;
        double value = 0;
        if (!ReadWord(word, &name, &value)) {
            *error = "'" + word + "' is not NAME=NUMBER (elo0, elo1, alpha, beta)";
            return std::nullopt;
        }
        int which = 0;
        while (which < 4 && name != names[which]) ++which;
        if (which == 4) {
            *error = "unknown '" + name + "' (elo0, elo1, alpha, beta)";
            return std::nullopt;
        }
        if (seen[which]) {
            *error = name + " is given twice";
            return std::nullopt;
        }
        seen[which] = true;
        *values[which] = value;
    }
    if (!seen[0] || !seen[1]) {
        *error = "elo0 and elo1 are needed (e.g. elo0=0 elo1=5)";
        return std::nullopt;
    }
    if (!(sprt.elo0 < sprt.elo1)) {
        *error = "elo0 must be below elo1";
        return std::nullopt;
    }
    if (std::fabs(sprt.elo0) >= 1000 || std::fabs(sprt.elo1) >= 1000) {
        *error = "elo0 and elo1 must lie within 1000 Elo of 0";
        return std::nullopt;
    }
    for (double chance : {sprt.alpha, sprt.beta}) {
        if (!(chance > 0.0 && chance < 0.5)) {
            *error = "alpha and beta must lie between 0 and 0.5";
            return std::nullopt;
        }
    }
    return sprt;
}

double SprtLowerBound(const SprtSettings& sprt) { return std::log(sprt.beta / (1.0 - sprt.alpha)); }
double SprtUpperBound(const SprtSettings& sprt) { return std::log((1.0 - sprt.beta) / sprt.alpha); }

double TrinomialLlr(std::int64_t wins, std::int64_t draws, std::int64_t losses, const SprtSettings& sprt) {
    const std::int64_t counts[3] = {losses, draws, wins};
    const double scores[3] = {0.0, 0.5, 1.0};
    return Llr(counts, scores, 3, sprt);
}

double PentanomialLlr(const Pentanomial& pairs, const SprtSettings& sprt) {
    const double scores[5] = {0.0, 0.25, 0.5, 0.75, 1.0};
    return Llr(pairs.data(), scores, 5, sprt);
}

SprtVerdict Judge(double llr, const SprtSettings& sprt) {
    if (llr >= SprtUpperBound(sprt)) return SprtVerdict::kH1;
    if (llr <= SprtLowerBound(sprt)) return SprtVerdict::kH0;
    return SprtVerdict::kGoOn;
}

std::string BoundsText(const SprtSettings& sprt) {
    char text[64];
    std::snprintf(text, sizeof text, "(%.2f, %.2f)", SprtLowerBound(sprt), SprtUpperBound(sprt));
    return text;
}

std::string LlrText(double llr, const SprtSettings& sprt) {
    char text[32];
    std::snprintf(text, sizeof text, "LLR %.2f ", llr);
    return text + BoundsText(sprt);
}

}  // namespace enghost
