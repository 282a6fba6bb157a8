// Boards that no game reaches but that the host may hand over all the same:
// each gives some answer, read and written inside the board and the list.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>

#include "chess/move_list.h"
#include "chess/move_text.h"
#include "fen.h"
#include "perft.h"

namespace cecp {
namespace {

struct HostileBoard {
    const char* name;
    std::uint8_t squares[kSquareCount];
    int side, castling, ep;
};

void PrintTo(const HostileBoard& b, std::ostream* os) { *os << b.name; }

HostileBoard Board(const char* name, const char* fen, int side, int castling, int ep) {
    HostileBoard board{name, {}, side, castling, ep};
    const Position position = test::FromFen(fen);
    std::memcpy(board.squares, position.squares, kSquareCount);
    return board;
}

HostileBoard WithBytes(HostileBoard board, std::initializer_list<std::pair<int, int>> bytes) {
    for (auto [square, code] : bytes) board.squares[square] = static_cast<std::uint8_t>(code);
    return board;
}

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
    Position position;
    position.SetFromBoard(GetParam().squares, GetParam().side, GetParam().castling, GetParam().ep);
    Exercise(position);
    position.CastlingFromPlacement();
    Exercise(position);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, Hostile,
    testing::Values(
        Board("PawnsOnBothBackRanks", "PPPPPPPP/pppppppp/8/4k3/8/4K3/PPPPPPPP/pppppppp w KQkq -", 0, 15, 0),
        Board("BlackPawnsOnBackRanks", "PPPPPPPP/pppppppp/8/4k3/8/4K3/PPPPPPPP/pppppppp b KQkq -", 1, 15, 0),
        Board("NoKings", "rnbq1bnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQ1BNR w KQkq -", 0, 15, 0),
        Board("KingsEverywhere", "kKkKkKkK/KkKkKkKk/8/8/8/8/kKkKkKkK/KkKkKkKk b KQkq -", 1, 15, 0),
        Board("SixtyFourQueens", "QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/qqqqqqqq/qqqqqqqq/qqqqqqqq/qqqqqqqq w - -",
              0, 15, 0),
        Board("QueensAndOneKing", "Q1Q1Q1Q1/1Q1Q1Q1Q/Q1Q1Q1Q1/1Q1Q1Q1Q/Q1Q1Q1Q1/1Q1Q1Q1Q/Q1Q1Q1Q1/k6K w - -", 0,
              15, 0),
        // Castling rights that the placement contradicts: kings and rooks off home.
        Board("RightsWithoutRooks", "4k3/8/8/8/8/8/8/4K3 w KQkq -", 0, 15, 0),
        Board("RightsWithKingsInCorners", "k6K/8/8/8/8/8/8/K6k w KQkq -", 0, 15, 0),
        Board("BlackRightsWithWhiteRooks", "R3k2R/8/8/8/8/8/8/r3K2r b KQkq -", 1, 15, 0),
        // En-passant squares off ranks 3 and 6, at the edges, out of range.
        Board("EpOnRankFive", "4k3/8/8/P6P/8/8/8/4K3 w - -", 0, 0, 39),
        Board("EpOnRankFour", "4k3/8/8/8/p6p/8/8/4K3 b - -", 1, 0, 24),
        Board("EpOnTheKing", "4k3/8/8/3pP3/8/8/8/4K3 w - -", 0, 0, 60),
        Board("EpFarOutOfRange", "4k3/8/8/3pP3/8/8/8/4K3 w - -", 0, 0, 43 + 256),
        Board("NegativeEp", "4k3/8/8/3pP3/8/8/8/4K3 w - -", 0, 0, -1),
        Board("StraySide", "4k3/8/8/8/8/8/8/4K3 w - -", -7, -1, 0),
        WithBytes(Board("TypeSevenAndHighBytes", "4k3/8/8/8/8/8/8/4K3 w - -", 0, 15, 0),
                  {{0, 7}, {7, 15}, {12, 0x17}, {27, 0xff}, {36, 0x80}, {52, 0x1e}, {56, 0x10}, {63, 0x21}}),
        WithBytes(Board("HighBytesForBlack", "4k3/8/8/8/8/8/8/4K3 b - -", 1, 15, 0),
                  {{8, 0x19}, {9, 0xfe}, {10, 8}, {11, 0x88}, {35, 0x1d}, {48, 0x19}, {62, 0xf9}})));

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
    std::uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int round = 0; round < 200; ++round) {
        std::uint8_t board[kSquareCount];
        const unsigned density = next() % 4;
        for (auto& square : board) {
            const unsigned r = next();
            square = (r & 3) <= density ? static_cast<std::uint8_t>((r >> 2) % (round < 100 ? 15 : 256)) : 0;
        }
        Position position;
        position.SetFromBoard(board, static_cast<int>(next() % 3), static_cast<int>(next() % 32),
                              static_cast<int>(next() % 70));
        Exercise(position);
    }
}

}  // namespace
}  // namespace cecp
