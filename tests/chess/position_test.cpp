#include "chess/position.h"

#include <gtest/gtest.h>

#include <cstring>

#include "fen.h"

namespace cecp {
namespace {

using test::FromFen;
using test::Move;

Position Start() {
    Position position;
    position.SetStartPosition();
    return position;
}

TEST(Position, StartPositionMatchesItsFen) {
    const Position start = Start();
    const Position fen = FromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    EXPECT_EQ(std::memcmp(start.squares, fen.squares, sizeof start.squares), 0);
    EXPECT_EQ(start.squares[3], kWhiteQueen);
}

TEST(Position, NullMoveOnlyPassesTheTurn) {
    Position position = Start();
    position.epSquare = 20;
    position.MakeMove(0);
    const Position start = Start();
    EXPECT_EQ(std::memcmp(position.squares, start.squares, sizeof start.squares), 0);
    EXPECT_EQ(position.sideToMove, 1);
    EXPECT_EQ(position.castlingRights, 15);
    EXPECT_EQ(position.epSquare, 0);
}

TEST(Position, DoublePushesSetTheSquarePassedOverAndOtherMovesClearIt) {
    Position position = Start();
    position.MakeMove(Move("e2e4"));
    EXPECT_EQ(position.epSquare, 20);
    position.MakeMove(Move("e7e5"));
    EXPECT_EQ(position.epSquare, 44);
    position.MakeMove(Move("g1f3"));
    EXPECT_EQ(position.epSquare, 0);
    EXPECT_EQ(position.sideToMove, 1);
}

TEST(Position, EnPassantRemovesThePawnBesideTheFromSquare) {
    Position position = FromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6");
    position.MakeMove(Move("e5d6"));
    EXPECT_EQ(position.squares[43], kWhitePawn);
    EXPECT_EQ(position.squares[35], 0);
    EXPECT_EQ(position.squares[36], 0);
}

TEST(Position, CastlingMovesTheRookAndTakesBothRights) {
    Position white = FromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
    white.MakeMove(Move("e1g1"));
    EXPECT_EQ(white.squares[6], kWhiteKing);
    EXPECT_EQ(white.squares[5], kWhiteRook);
    EXPECT_EQ(white.squares[7], 0);
    EXPECT_EQ(white.whiteKingSquare, 6);
    EXPECT_EQ(white.castlingRights, kBlackShort | kBlackLong);

    white.MakeMove(Move("e8c8"));
    EXPECT_EQ(white.squares[58], kBlackKing);
    EXPECT_EQ(white.squares[59], kBlackRook);
    EXPECT_EQ(white.squares[56], 0);
    EXPECT_EQ(white.blackKingSquare, 58);
    EXPECT_EQ(white.castlingRights, 0);
}

struct PromotionCase {
    const char* fen;
    MoveWord move;
    int square;
    PieceCode piece;
};

class Promotion : public testing::TestWithParam<PromotionCase> {};

TEST_P(Promotion, PutsTheChosenPieceOfThePawnsColour) {
    Position position = FromFen(GetParam().fen);
    position.MakeMove(GetParam().move);
    EXPECT_EQ(position.squares[GetParam().square], GetParam().piece);
}

INSTANTIATE_TEST_SUITE_P(
    Position, Promotion,
    testing::Values(PromotionCase{"7k/4P3/8/8/8/8/8/K7 w - -", MakeMoveWord(52, 60), 60, kWhiteQueen},
                    PromotionCase{"7k/4P3/8/8/8/8/8/K7 w - -", MakeMoveWord(52, 60, kPromoteQueen), 60, kWhiteQueen},
                    PromotionCase{"7k/4P3/8/8/8/8/8/K7 w - -", MakeMoveWord(52, 60, kPromoteKnight), 60, kWhiteKnight},
                    PromotionCase{"7k/4P3/8/8/8/8/8/K7 w - -", MakeMoveWord(52, 60, kPromoteBishop), 60, kWhiteBishop},
                    PromotionCase{"7k/8/8/8/8/8/3p4/K7 b - -", MakeMoveWord(11, 3, kPromoteRook), 3, kBlackRook},
                    // A code on a move that does not promote changes nothing.
                    PromotionCase{"7k/8/8/8/8/8/4P3/K7 w - -", MakeMoveWord(12, 20, kPromoteKnight), 20, kWhitePawn}));

struct RightsCase {
    MoveWord move;
    int rightsLeft;
};

class CastlingRights : public testing::TestWithParam<RightsCase> {};

TEST_P(CastlingRights, GoWithTheKingOrRookThatLeavesOrIsTakenAtHome) {
    // Rooks face each other on the a- and h-files so that captures at home can be played.
    Position position = FromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
    position.MakeMove(GetParam().move);
    EXPECT_EQ(position.castlingRights, GetParam().rightsLeft);
}

INSTANTIATE_TEST_SUITE_P(Position, CastlingRights,
                         testing::Values(RightsCase{Move("a1a5"), 15 & ~kWhiteLong},
                                         RightsCase{Move("h1h8"), 15 & ~kWhiteShort & ~kBlackShort},
                                         RightsCase{Move("a1a8"), 15 & ~kWhiteLong & ~kBlackLong},
                                         RightsCase{Move("e1d1"), kBlackShort | kBlackLong},
                                         RightsCase{Move("e8d8"), kWhiteShort | kWhiteLong},
                                         RightsCase{Move("h8h5"), 15 & ~kBlackShort}));

TEST(Position, CastlingFromPlacementLooksAtKingsAndRooksOnly) {
    Position position = Start();
    position.castlingRights = 0;
    position.CastlingFromPlacement();
    EXPECT_EQ(position.castlingRights, 15);

    position = FromFen("r3k2r/8/8/8/8/8/8/R4K1R w - -");
    position.CastlingFromPlacement();
    EXPECT_EQ(position.castlingRights, kBlackShort | kBlackLong);

    position = FromFen("1r2k2R/8/8/8/8/8/8/4K2R w - -");  // a White rook on h8 is not Black's
    position.CastlingFromPlacement();
    EXPECT_EQ(position.castlingRights, kWhiteShort);
}

TEST(Position, SetFromBoardFindsKingsLastOneWinningAndMissingOneKept) {
    std::uint8_t board[kSquareCount] = {};
    board[10] = kWhiteKing;
    board[50] = kWhiteKing;
    Position position;
    position.blackKingSquare = 33;
    position.SetFromBoard(board, 1, 5, 21);
    EXPECT_EQ(position.whiteKingSquare, 50);
    EXPECT_EQ(position.blackKingSquare, 33);
    EXPECT_EQ(position.sideToMove, 1);
    EXPECT_EQ(position.castlingRights, 5);
    EXPECT_EQ(position.epSquare, 21);
}

// The host may hand over anything; these moves are never generated but must
// stay on the board.
TEST(Position, TwoSquareKingMovesOffTheCastlingFilesMoveTheKingAlone) {
    Position position = FromFen("5k2/8/8/8/8/8/8/K7 b - -");
    position.squares[62] = kBlackRook;  // would be "to - 1" for f8h8
    position.MakeMove(Move("f8h8"));
    EXPECT_EQ(position.squares[63], kBlackKing);
    EXPECT_EQ(position.squares[62], kBlackRook);
    EXPECT_EQ(position.blackKingSquare, 63);

    position = FromFen("k7/8/8/8/8/8/8/2K5 w - -");
    position.squares[1] = kWhiteRook;
    position.MakeMove(Move("c1a1"));
    EXPECT_EQ(position.squares[0], kWhiteKing);
    EXPECT_EQ(position.squares[1], kWhiteRook);

    position = FromFen("k7/8/8/8/8/8/8/7K w - -");
    position.MakeMove(MakeMoveWord(7, 9));  // h1 to b2: two squares apart, not two files
    EXPECT_EQ(position.squares[9], kWhiteKing);
    EXPECT_EQ(position.whiteKingSquare, 9);
}

TEST(Position, StraySideValueStillAlternates) {
    Position position = Start();
    position.sideToMove = 5;
    position.MakeMove(0);
    EXPECT_EQ(position.sideToMove, 0);
    position.MakeMove(0);
    EXPECT_EQ(position.sideToMove, 1);
}

}  // namespace
}  // namespace cecp
