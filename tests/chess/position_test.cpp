#include "chess/position.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "chess/notation.h"
#include "fen.h"

namespace cecp {
namespace {

using test::FromFen;
using test::Move;

std::string Placement(const Position& position) {
    char fen[kFenTextSize];
    WriteFen(position, 0, 1, fen);
    const std::string text = fen;
    return text.substr(0, text.find(' '));
}

TEST(Position, MakeMovePlaysTheMoveAsGivenAndKeepsTheKingSquaresWhereTheKingsStand) {
    constexpr const char* kWhitePawn = "7k/4P3/8/8/8/8/4P3/K7 w - -";
    struct Case {
        const char* fen;
        MoveWord move;
        const char* placement;  // after the move
    };
    const Case cases[] = {
        // Without a code a pawn on the last rank queens; a code on any other move is ignored.
        {kWhitePawn, MakeMoveWord(52, 60), "4Q2k/8/8/8/8/8/4P3/K7"},
        {kWhitePawn, Move("e7e8n"), "4N2k/8/8/8/8/8/4P3/K7"},
        {"7k/8/8/8/8/8/3p4/K7 b - -", Move("d2d1r"), "7k/8/8/8/8/8/8/K2r4"},
        {kWhitePawn, Move("e2e3n"), "7k/4P3/8/8/8/4P3/8/K7"},
        // Two-square king moves that are no castling, as a host may hand
        // over: the king moves alone, and no rook square off the board is read.
        {"5kr1/8/8/8/8/8/8/K7 b - -", Move("f8h8"), "6rk/8/8/8/8/8/8/K7"},
        {"k7/8/8/8/8/8/8/1RK5 w - -", Move("c1a1"), "k7/8/8/8/8/8/8/KR6"},
        {"k7/8/8/8/8/8/8/7K w - -", Move("h1b2"), "k7/8/8/8/8/8/1K6/8"},
    };
    for (const Case& c : cases) {
        Position position = FromFen(c.fen);
        const int side = position.sideToMove;
        position.MakeMove(c.move);
        EXPECT_EQ(Placement(position), c.placement) << c.fen;
        EXPECT_EQ(position.sideToMove, 1 - side);
        Position found = position;
        found.FindKings();
        EXPECT_EQ(position.whiteKingSquare, found.whiteKingSquare) << c.fen;
        EXPECT_EQ(position.blackKingSquare, found.blackKingSquare) << c.fen;
    }
}

TEST(Position, NullMoveOnlyPassesTheTurnEvenFromAStraySide) {
    Position position = FromFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3");
    const Position before = position;
    position.MakeMove(0);
    EXPECT_EQ(Placement(position), Placement(before));
    EXPECT_EQ(position.sideToMove, 0);
    EXPECT_EQ(position.epSquare, 0);
    position.sideToMove = 5;  // any side but 0 is Black's
    position.MakeMove(0);
    EXPECT_EQ(position.sideToMove, 0);
}

TEST(Position, SetFromBoardFindsTheLastKingOfEachColourAndKeepsAMissingOnesSquare) {
    std::uint8_t board[kSquareCount] = {};
    board[10] = board[50] = kWhiteKing;
    Position position;
    position.blackKingSquare = 33;
    position.SetFromBoard(board, 1, 5, 21);
    EXPECT_EQ(position.whiteKingSquare, 50);
    EXPECT_EQ(position.blackKingSquare, 33);
}

}  // namespace
}  // namespace cecp
