// Boards that no game reaches but that the host may hand over all the same
// (boards.h): each gives some answer, read and written inside the board and
// the list.
#include <gtest/gtest.h>

#include "boards.h"
#include "chess/move_list.h"
#include "chess/move_text.h"
#include "fen.h"
#include "perft.h"

namespace cecp {
namespace {

using test::HostileBoard;

// Every listed move, played and judged, and the texts of both notations on
// the result: nothing may leave the board or the list.
void Exercise(const Position& position) {
    MoveList list;
    const int count = list.Generate(position);
    ASSERT_GE(count, 0);
    ASSERT_LE(count, MoveList::kCapacity);
    for (int i = 0; i < count; ++i) {
        ASSERT_FALSE(IsNullMove(list.moves[i]));
        Position copy = position;
        copy.MakeMove(list.moves[i]);
        KingSafeAfterMove(copy, list.moves[i]);
    }
    HasNoLegalMove(position);
    MoveTextRecogniser recogniser;
    MoveWord moves[8];
    const char* texts[] = {"e4 e5 Nf3 O-O O-O-O 0-0-0-0 exd ed a8 h1 e1g1 e8c8 a7a8q a2a1n Kxb2",
                           "a1h8 h8a1 b7b8b Qa1 Rh8 Bb1 Nc3 P@e4 ab hg xh8 oOo"};
    for (const char* text : texts) {
        const int n = recogniser.ParseVariation(text, position, moves, 8);
        ASSERT_GE(n, 0);
        ASSERT_LE(n, 8);
    }
    test::Perft(position, 2);
}

class Hostile : public testing::TestWithParam<HostileBoard> {};

TEST_P(Hostile, PositionsGiveSomeAnswerWithoutLeavingTheBoard) {
    Exercise(GetParam().ToPosition());
    Exercise(GetParam().ToPosition(true));
}

INSTANTIATE_TEST_SUITE_P(Boards, Hostile, testing::ValuesIn(test::HostileBoards()));

TEST(Hostile, PawnsOnTheirLastRankHaveNoMove) {
    const Position white = test::FromFen("P6P/8/8/8/8/8/8/k5K1 w - -");
    MoveList list;
    const int count = list.Generate(white);
    for (int i = 0; i < count; ++i) EXPECT_EQ(MoveFrom(list.moves[i]), 6);

    const Position black = test::FromFen("K6k/8/8/8/8/8/8/p6p b - -");
    const int blackCount = list.Generate(black);
    for (int i = 0; i < blackCount; ++i) EXPECT_EQ(MoveFrom(list.moves[i]), 63);
}

// Random bytes, random side, rights and en-passant square: a cheap stand-in
// for the fuzz target that also runs under wine.
TEST(Hostile, RandomBoardsGiveSomeAnswer) {
    test::RandomBoards boards(12345);
    for (int round = 0; round < 200; ++round) Exercise(boards.Next(round >= 100));
}

}  // namespace
}  // namespace cecp
