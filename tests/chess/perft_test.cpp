#include <gtest/gtest.h>

#include <cstdint>

#include "fen.h"
#include "perft.h"

namespace cecp {
namespace {

using namespace test;

struct PerftCase {
    const char* fen;
    int depth;
    std::uint64_t leaves;
};

// Seconds in all, under wine and sanitizers too; deeper counts are bench_chess's.
TEST(Perft, MatchesThePublishedLeafCounts) {
    const PerftCase cases[] = {
        {kStart, 1, 20},         {kStart, 2, 400},        {kStart, 3, 8902},         {kStart, 4, 197281},
        {kKiwipete, 1, 48},      {kKiwipete, 2, 2039},    {kKiwipete, 3, 97862},     {kRookEnding, 1, 14},
        {kRookEnding, 2, 191},   {kRookEnding, 3, 2812},  {kRookEnding, 4, 43238},   {kMiddlegame, 1, 46},
        {kMiddlegame, 2, 2079},  {kMiddlegame, 3, 89890},
    };
    for (const PerftCase& c : cases)
        EXPECT_EQ(Perft(FromFen(c.fen), c.depth), c.leaves) << c.fen << " depth " << c.depth;
}

}  // namespace
}  // namespace cecp
