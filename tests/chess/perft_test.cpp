#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>

#include "fen.h"
#include "perft.h"

namespace cecp {
namespace {

constexpr const char* kStart = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";
// Castling both ways, pins, promotions, en passant.
constexpr const char* kKiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -";
// An endgame of rank pins and en passant along the fourth and fifth ranks.
constexpr const char* kRookEnding = "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -";
constexpr const char* kMiddlegame = "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -";

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
