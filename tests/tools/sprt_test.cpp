// The SPRT of enghost match: its log-likelihood ratio against the values
// sprt_reference.py works out on its own (another solver, another language),
// at the edges too, and the words of --sprt.
#include "sprt.h"

#include <gtest/gtest.h>

namespace enghost {
namespace {

TEST(Sprt, RatiosAreTheReferenceValues) {
    struct Trinomial {
        std::int64_t wins, draws, losses;
        double elo0, elo1, llr;
    };
    const Trinomial games[] = {
        {0, 0, 0, 0, 5, 0.0},
        {60, 80, 40, 0, 5, 0.485058},
        {40, 80, 60, 0, 5, -0.550962},
        {120, 0, 100, 0, 10, 0.484534},   // no draws
        {0, 200, 0, 0, 5, -2.890684},     // only draws
        {30, 0, 0, 0, 5, 0.428628},       // one side wins every game
        {0, 0, 30, -5, 5, -0.863469},     // and loses every one
        {1, 0, 0, 0, 5, 0.014287},
        {5210, 10400, 5010, -1.75, 0.25, 2.839675},
    };
    for (const Trinomial& c : games) {
        const SprtSettings sprt{c.elo0, c.elo1, 0.05, 0.05};
        EXPECT_NEAR(TrinomialLlr(c.wins, c.draws, c.losses, sprt), c.llr, 1e-5)
            << c.wins << "-" << c.draws << "-" << c.losses;
    }
    struct Pairs {
        Pentanomial counts;
        double elo0, elo1, llr;
    };
    const Pairs pairs[] = {
        {{0, 0, 0, 0, 0}, 0, 5, 0.0},
        {{5, 30, 60, 35, 10}, 0, 5, 0.422814},
        {{10, 35, 60, 30, 5}, 0, 5, -0.551873},
        {{0, 0, 100, 0, 0}, 0, 5, -1.441648},
        {{0, 0, 0, 0, 25}, 0, 5, 0.357219},
        {{1, 0, 0, 0, 0}, 0, 5, -0.014524},
        {{200, 2400, 5200, 2550, 250}, -1.75, 0.25, 5.348833},
    };
    for (const Pairs& c : pairs) {
        const SprtSettings sprt{c.elo0, c.elo1, 0.05, 0.05};
        EXPECT_NEAR(PentanomialLlr(c.counts, sprt), c.llr, 1e-5) << c.counts[0] << " " << c.counts[2];
    }
}

TEST(Sprt, StopsAtTheBoundsOfItsErrorChances) {
    const SprtSettings sprt{0, 5, 0.05, 0.1};
    EXPECT_NEAR(SprtLowerBound(sprt), -2.251292, 1e-6);  // log(0.1 / 0.95)
    EXPECT_NEAR(SprtUpperBound(sprt), 2.890372, 1e-6);   // log(0.9 / 0.05)
    EXPECT_EQ(Judge(2.9, sprt), SprtVerdict::kH1);
    EXPECT_EQ(Judge(2.8, sprt), SprtVerdict::kGoOn);
    EXPECT_EQ(Judge(-2.26, sprt), SprtVerdict::kH0);
    EXPECT_EQ(LlrText(1.234, sprt), "LLR 1.23 (-2.25, 2.89)");
}

TEST(Sprt, WordsAreReadOrRefusedWithTheReason) {
    std::string error;
    const auto sprt = ParseSprt({"beta=0.1", "elo1=5", "elo0=-1.5"}, &error);
    ASSERT_TRUE(sprt) << error;
    EXPECT_EQ(sprt->elo0, -1.5);
    EXPECT_EQ(sprt->elo1, 5);
    EXPECT_EQ(sprt->alpha, 0.05);
    EXPECT_EQ(sprt->beta, 0.1);
    const std::pair<std::vector<std::string>, const char*> bad[] = {
        {{"elo0=0"}, "elo0 and elo1 are needed (e.g. elo0=0 elo1=5)"},
        {{"elo0=5", "elo1=0"}, "elo0 must be below elo1"},
        {{"elo0=0", "elo1=5", "alpha=0.5"}, "alpha and beta must lie between 0 and 0.5"},
        {{"elo0=0", "elo1=5", "beta=0"}, "alpha and beta must lie between 0 and 0.5"},
        {{"elo0=0", "elo1=5", "elo0=1"}, "elo0 is given twice"},
        {{"elo0=0", "elo1=5x"}, "'elo1=5x' is not NAME=NUMBER (elo0, elo1, alpha, beta)"},
        {{"elo0=0", "elo1=nan"}, "'elo1=nan' is not NAME=NUMBER (elo0, elo1, alpha, beta)"},
        {{"elo0=0", "gamma=1"}, "unknown 'gamma' (elo0, elo1, alpha, beta)"},
    };
    for (const auto& [words, reason] : bad) {
        error.clear();
        EXPECT_FALSE(ParseSprt(words, &error));
        EXPECT_EQ(error, reason);
    }
}

}  // namespace
}  // namespace enghost
