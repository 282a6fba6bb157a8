#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>

#include "fen.h"
#include "perft.h"

namespace cecp {
namespace {

using test::kKiwipete;
using test::kMiddlegame;
using test::kRookEnding;
using test::kStart;

struct PerftCase {
    const char* fen;
    int depth;
    std::uint64_t leaves;
};

void PrintTo(const PerftCase& c, std::ostream* os) { *os << c.fen << " depth " << c.depth; }

class Perft : public testing::TestWithParam<PerftCase> {};

TEST_P(Perft, MatchesThePublishedLeafCount) {
    EXPECT_EQ(test::Perft(test::FromFen(GetParam().fen), GetParam().depth), GetParam().leaves);
}

// Seconds in all, under wine and sanitizers too.
INSTANTIATE_TEST_SUITE_P(Shallow, Perft,
                         testing::Values(PerftCase{kStart, 1, 20}, PerftCase{kStart, 2, 400},
                                         PerftCase{kStart, 3, 8902}, PerftCase{kStart, 4, 197281},
                                         PerftCase{kKiwipete, 1, 48}, PerftCase{kKiwipete, 2, 2039},
                                         PerftCase{kKiwipete, 3, 97862}, PerftCase{kRookEnding, 1, 14},
                                         PerftCase{kRookEnding, 2, 191}, PerftCase{kRookEnding, 3, 2812},
                                         PerftCase{kRookEnding, 4, 43238}, PerftCase{kMiddlegame, 1, 46},
                                         PerftCase{kMiddlegame, 2, 2079}, PerftCase{kMiddlegame, 3, 89890}));

// Seconds each natively; run with --gtest_also_run_disabled_tests, and timed
// by bench_chess.
INSTANTIATE_TEST_SUITE_P(DISABLED_Deep, Perft,
                         testing::Values(PerftCase{kStart, 5, 4865609}, PerftCase{kKiwipete, 4, 4085603},
                                         PerftCase{kRookEnding, 5, 674624},
                                         PerftCase{kMiddlegame, 4, 3894594}));

}  // namespace
}  // namespace cecp
