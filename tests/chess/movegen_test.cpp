#include "chess/move_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fen.h"

namespace cecp {
namespace {

using test::FromFen;
using test::Move;
using test::MoveName;

std::vector<std::string> Listed(const Position& position) {
    MoveList list;
    const int count = list.Generate(position);
    EXPECT_EQ(count, list.Count());
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back(MoveName(list.MoveAt(i)));
    return names;
}

std::vector<std::string> Legal(const Position& position) {
    MoveList list;
    const int count = list.Generate(position);
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        Position copy = position;
        copy.MakeMove(list.moves[i]);
        if (KingSafeAfterMove(copy, list.moves[i])) names.push_back(MoveName(list.moves[i]));
    }
    return names;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    for (const auto& n : names)
        if (n == name) return true;
    return false;
}

TEST(MoveGeneration, ListsTheStartPositionByFromSquareThenStepOrder) {
    Position start;
    start.SetStartPosition();
    const std::vector<std::string> expected = {"b1a3", "b1c3", "g1f3", "g1h3", "a2a4", "a2a3", "b2b4",
                                               "b2b3", "c2c4", "c2c3", "d2d4", "d2d3", "e2e4", "e2e3",
                                               "f2f4", "f2f3", "g2g4", "g2g3", "h2h4", "h2h3"};
    EXPECT_EQ(Listed(start), expected);
}

TEST(MoveGeneration, ListsPiecesInTheirStepAndRayOrder) {
    // Knight and king steps, bishop then rook rays for the queen.
    EXPECT_EQ(Listed(FromFen("7k/8/8/8/3N4/8/8/K7 w - -")),
              (std::vector<std::string>{"a1a2", "a1b1", "a1b2", "d4b3", "d4b5", "d4f3", "d4f5", "d4c2",
                                        "d4c6", "d4e2", "d4e6"}));
    EXPECT_EQ(Listed(FromFen("k7/8/8/8/8/8/1P6/Q6K w - -")),
              (std::vector<std::string>{"a1b1", "a1c1", "a1d1", "a1e1", "a1f1", "a1g1", "a1a2", "a1a3",
                                        "a1a4", "a1a5", "a1a6", "a1a7", "a1a8", "h1g1", "h1g2", "h1h2",
                                        "b2b4", "b2b3"}));
}

TEST(MoveGeneration, ListsPromotionsQueenRookBishopKnight) {
    EXPECT_EQ(Listed(FromFen("3r3k/4P3/8/8/8/8/8/K7 w - -")),
              (std::vector<std::string>{"a1a2", "a1b1", "a1b2", "e7e8q", "e7e8r", "e7e8b", "e7e8n", "e7d8q",
                                        "e7d8r", "e7d8b", "e7d8n"}));
    EXPECT_EQ(Listed(FromFen("7k/8/8/8/8/8/p7/1R5K b - -")),
              (std::vector<std::string>{"a2a1q", "a2a1r", "a2a1b", "a2a1n", "a2b1q", "a2b1r", "a2b1b", "a2b1n",
                                        "h8g7", "h8g8", "h8h7"}));
}

TEST(MoveGeneration, ListsEnPassantLastForEachPawnOnlyWhenTheSquareIsSet) {
    const auto withEp = Listed(FromFen("4k3/8/8/2PpP3/8/8/8/4K3 w - d6"));
    EXPECT_EQ(withEp, (std::vector<std::string>{"e1d1", "e1d2", "e1e2", "e1f1", "e1f2", "c5c6", "c5d6",
                                                "e5e6", "e5d6"}));
    EXPECT_FALSE(Contains(Listed(FromFen("4k3/8/8/2PpP3/8/8/8/4K3 w - -")), "c5d6"));
    const auto black = Listed(FromFen("4k3/8/8/8/3pP3/8/8/4K3 b - e3"));
    EXPECT_EQ(black[0], "d4d3");
    EXPECT_EQ(black[1], "d4e3");
}

// A stray en-passant square (the host's, not one a double push set) must not
// capture round the board's edge nor repeat an ordinary capture.
TEST(MoveGeneration, IgnoresEnPassantSquaresThatWrapOrAreOccupied) {
    Position wrap = FromFen("4k3/8/8/P7/8/8/8/4K3 w - -");
    wrap.epSquare = 39;  // h5, seen from a5 as "from + 7"
    EXPECT_FALSE(Contains(Listed(wrap), "a5h5"));
    const auto occupied = Listed(FromFen("4k3/8/3n4/4P3/8/8/8/4K3 w - d6"));
    int captures = 0;
    for (const auto& name : occupied) captures += name == "e5d6";
    EXPECT_EQ(captures, 1);
}

struct CastlingListCase {
    const char* fen;
    const char* castling;
    bool listed;
    bool legal;
};

class Castling : public testing::TestWithParam<CastlingListCase> {};

TEST_P(Castling, IsListedByRightsAndEmptySquaresAndLegalOnlyOutOfAndAcrossCheck) {
    const Position position = FromFen(GetParam().fen);
    EXPECT_EQ(Contains(Listed(position), GetParam().castling), GetParam().listed);
    EXPECT_EQ(Contains(Legal(position), GetParam().castling), GetParam().legal);
}

INSTANTIATE_TEST_SUITE_P(
    MoveGeneration, Castling,
    testing::Values(CastlingListCase{"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", "e1g1", true, true},
                    CastlingListCase{"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", "e1c1", true, true},
                    CastlingListCase{"r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", "e8g8", true, true},
                    CastlingListCase{"r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", "e8c8", true, true},
                    // In check: by a rook, and by a pawn (the home square is empty afterwards).
                    CastlingListCase{"4r2k/8/8/8/8/8/8/R3K2R w KQ -", "e1g1", true, false},
                    CastlingListCase{"7k/8/8/8/8/8/3p4/R3K2R w KQ -", "e1g1", true, false},
                    CastlingListCase{"7k/8/8/8/8/8/5p2/R3K2R w KQ -", "e1c1", true, false},
                    // Across an attacked square; onto one.
                    CastlingListCase{"5r1k/8/8/8/8/8/8/R3K2R w KQ -", "e1g1", true, false},
                    CastlingListCase{"3r3k/8/8/8/8/8/8/R3K2R w KQ -", "e1c1", true, false},
                    CastlingListCase{"6rk/8/8/8/8/8/8/R3K2R w KQ -", "e1g1", true, false},
                    CastlingListCase{"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", "e1g1", true, true},
                    CastlingListCase{"r3k2r/8/6N1/8/8/8/8/R3K2R b KQkq -", "e8g8", true, false},
                    CastlingListCase{"r3k2r/8/8/8/8/5b2/8/R3K2R w KQkq -", "e1c1", true, false},
                    // Only b1 attacked: the king does not cross it.
                    CastlingListCase{"1r2k3/8/8/8/8/8/8/R3K3 w Q -", "e1c1", true, true},
                    // Not listed: rook missing, a square between occupied (b1 too), right gone.
                    CastlingListCase{"4k3/8/8/8/8/8/8/R3K3 w KQ -", "e1g1", false, false},
                    CastlingListCase{"4k3/8/8/8/8/8/8/RN2K2R w KQ -", "e1c1", false, false},
                    CastlingListCase{"4k3/8/8/8/8/8/8/R3K1NR w KQ -", "e1g1", false, false},
                    CastlingListCase{"4k3/8/8/8/8/8/8/R3K2R w Q -", "e1g1", false, false},
                    CastlingListCase{"4k3/8/8/8/8/8/8/R3K2R w K -", "e1c1", false, false},
                    CastlingListCase{"r3k2r/8/8/8/8/8/8/R3K2R b KQ -", "e8c8", false, false}));

TEST(Legality, RejectsMovesOfPinnedPiecesIncludingEnPassantThatOpensTheRank) {
    const Position pinned = FromFen("4k3/4r3/8/8/8/8/4B3/4K3 w - -");
    EXPECT_TRUE(Contains(Listed(pinned), "e2d3"));
    EXPECT_FALSE(Contains(Legal(pinned), "e2d3"));

    const Position rank = FromFen("8/8/8/K2pP2r/8/8/8/7k w - d6");
    EXPECT_TRUE(Contains(Listed(rank), "e5d6"));
    EXPECT_FALSE(Contains(Legal(rank), "e5d6"));
    EXPECT_TRUE(Contains(Legal(rank), "e5e6"));
}

struct NoLegalMoveCase {
    const char* fen;
    bool none;
};

class NoLegalMove : public testing::TestWithParam<NoLegalMoveCase> {};

TEST_P(NoLegalMove, HoldsForMateAndStalemateOnly) {
    EXPECT_EQ(HasNoLegalMove(FromFen(GetParam().fen)), GetParam().none);
}

INSTANTIATE_TEST_SUITE_P(
    Legality, NoLegalMove,
    testing::Values(NoLegalMoveCase{"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", false},
                    NoLegalMoveCase{"rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq -", true},
                    NoLegalMoveCase{"7k/5Q2/6K1/8/8/8/8/8 b - -", true},   // stalemate
                    NoLegalMoveCase{"7k/6Q1/8/8/8/8/8/K7 b - -", false},   // only Kxg7
                    NoLegalMoveCase{"6rk/5Npp/8/8/8/8/8/7K b - -", true},  // smothered
                    NoLegalMoveCase{"8/8/8/8/8/8/8/8 w - -", true}));

// The quicker ways trust these bounds to tell when a list may fill up. Each
// piece alone on every square, with pieces of the other colour to capture
// in front of a pawn and rooks and rights for a king at home; then every
// square of random boards.
TEST(MoveGeneration, NoPieceListsMoreMovesThanTheMostForItsType) {
    MoveList list;
    int most[8] = {};
    for (int type = kPawn; type <= kKing; ++type) {
        for (const bool black : {false, true}) {
            for (int square = 0; square < kSquareCount; ++square) {
                Position position;
                position.sideToMove = black ? 1 : 0;
                position.squares[square] = MakePiece(type, black);
                const int ahead = square + (black ? -8 : 8);
                for (const int side : {ahead - 1, ahead + 1})
                    if (type == kPawn && IsSquare(ahead) && IsSquare(side) && RankOf(side) == RankOf(ahead))
                        position.squares[side] = MakePiece(kKnight, !black);
                if (type == kKing && square == (black ? 60 : 4)) {
                    position.squares[square - 4] = position.squares[square + 3] = MakePiece(kRook, black);
                    position.castlingRights = kAllCastling;
                }
                const int count = list.GenerateFrom(position, square);
                EXPECT_LE(count, MoveList::kMostMoves[type]) << type << " on " << square;
                most[type] = std::max(most[type], count);
            }
        }
    }
    // Attained, so not loose either, but for the king (no castling from the centre).
    EXPECT_EQ(std::vector<int>(most + kPawn, most + kKing),
              std::vector<int>(MoveList::kMostMoves + kPawn, MoveList::kMostMoves + kKing));

    std::uint32_t state = 99;
    for (int round = 0; round < 300; ++round) {
        Position position;
        for (auto& square : position.squares) {
            state = state * 1664525u + 1013904223u;
            square = (state >> 24) % 3 == 0 ? static_cast<std::uint8_t>((state >> 8) % 16) : 0;
        }
        position.sideToMove = round % 2;
        position.castlingRights = kAllCastling;
        position.epSquare = round % 64;
        for (int square = 0; square < kSquareCount; ++square)
            EXPECT_LE(list.GenerateFrom(position, square), MoveList::kMostMoves[TypeOf(position.squares[square])]);
    }
}

// More pieces than a game can have: 28 queens round the edge have 288 moves,
// among them h8's along the long diagonal.
Position QueenBoard() {
    Position position;
    for (int square = 0; square < kSquareCount; ++square)
        if (FileOf(square) == 0 || FileOf(square) == 7 || RankOf(square) == 0 || RankOf(square) == 7)
            position.squares[square] = kWhiteQueen;
    return position;
}

TEST(MoveGeneration, StopsAt255MovesWithTheMovesOfLaterSquaresMissing) {
    const Position position = QueenBoard();
    MoveList list;
    ASSERT_EQ(list.Generate(position), MoveList::kCapacity);
    for (int i = 1; i < MoveList::kCapacity; ++i)
        EXPECT_LE(MoveFrom(list.moves[i - 1]), MoveFrom(list.moves[i]));
    EXPECT_LT(MoveFrom(list.moves[254]), 63);
    EXPECT_EQ(list.MoveAt(255), list.moves[0]);
    EXPECT_EQ(list.MoveAt(-1), list.moves[0]);

    // The list is reusable after the jump: a fresh generation starts empty.
    Position start;
    start.SetStartPosition();
    EXPECT_EQ(list.Generate(start), 20);
    EXPECT_EQ(MoveName(list.MoveAt(19)), "h2h3");
}

}  // namespace
}  // namespace cecp
