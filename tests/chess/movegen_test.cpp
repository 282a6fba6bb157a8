#include "chess/move_list.h"

#include <gtest/gtest.h>

#include <string>

#include "fen.h"
#include "perft.h"

namespace cecp {
namespace {

using test::FromFen;
using test::MoveName;

// The pseudo-legal list as text, or its legal moves alone.
std::string Listed(const Position& position, bool legalOnly = false) {
    MoveList list;
    const int count = list.Generate(position);
    std::string names;
    for (int i = 0; i < count; ++i) {
        if (legalOnly && !IsLegalMove(position, list.moves[i])) continue;
        names += (names.empty() ? "" : " ") + MoveName(list.moves[i]);
    }
    return names;
}

// The order matters beyond perft: the quick ways and the short pawn capture
// ("ed" takes the last fitting move) read the list as Generate orders it.
TEST(MoveGeneration, ListsBySquareThenInStepAndRayOrder) {
    struct Case {
        const char* fen;
        const char* moves;
    };
    const Case cases[] = {
        {test::kStart, "b1a3 b1c3 g1f3 g1h3 a2a4 a2a3 b2b4 b2b3 c2c4 c2c3 d2d4 d2d3 e2e4 e2e3 f2f4 f2f3 g2g4 g2g3 "
                       "h2h4 h2h3"},
        {"7k/8/8/8/3N4/8/8/K7 w - -", "a1a2 a1b1 a1b2 d4b3 d4b5 d4f3 d4f5 d4c2 d4c6 d4e2 d4e6"},
        {"k7/8/8/8/8/8/1P6/Q6K w - -", "a1b1 a1c1 a1d1 a1e1 a1f1 a1g1 a1a2 a1a3 a1a4 a1a5 a1a6 a1a7 a1a8 h1g1 h1g2 "
                                       "h1h2 b2b4 b2b3"},
        // Promotions: queen, rook, bishop, knight.
        {"3r3k/4P3/8/8/8/8/8/K7 w - -", "a1a2 a1b1 a1b2 e7e8q e7e8r e7e8b e7e8n e7d8q e7d8r e7d8b e7d8n"},
        {"7k/8/8/8/8/8/p7/1R5K b - -", "a2a1q a2a1r a2a1b a2a1n a2b1q a2b1r a2b1b a2b1n h8g7 h8g8 h8h7"},
        // En passant last for each pawn, only with the square set, never
        // round the board's edge nor again onto an occupied square.
        {"4k3/8/8/2PpP3/8/8/8/4K3 w - d6", "e1d1 e1d2 e1e2 e1f1 e1f2 c5c6 c5d6 e5e6 e5d6"},
        {"4k3/8/8/2PpP3/8/8/8/4K3 w - -", "e1d1 e1d2 e1e2 e1f1 e1f2 c5c6 e5e6"},
        {"4k3/8/8/8/3pP3/8/8/4K3 b - e3", "d4d3 d4e3 e8d7 e8d8 e8e7 e8f7 e8f8"},
        {"4k3/8/8/P7/8/8/8/4K3 w - h5", "e1d1 e1d2 e1e2 e1f1 e1f2 a5a6"},
        {"4k3/8/3n4/4P3/8/8/8/4K3 w - d6", "e1d1 e1d2 e1e2 e1f1 e1f2 e5e6 e5d6"},
        // A pawn on its last rank (only a host's board has one) has no move
        // rather than a step off the board.
        {"P6P/8/8/8/8/8/8/k5K1 w - -", "g1f1 g1f2 g1g2 g1h1 g1h2"},
        {"K6k/8/8/8/8/8/8/p6p b - -", "h8g7 h8g8 h8h7"},
    };
    for (const Case& c : cases) EXPECT_EQ(Listed(FromFen(c.fen)), c.moves) << c.fen;
}

TEST(Castling, IsListedByRightsRookAndEmptySquaresAndLegalNeitherOutOfNorAcrossCheck) {
    struct Case {
        const char* fen;
        const char* castling;
        bool listed, legal;
    };
    const Case cases[] = {
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", "e1g1", true, true},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", "e8c8", true, true},
        // In check by pawns: the home square is empty afterwards.
        {"7k/8/8/8/8/8/3p4/R3K2R w KQ -", "e1g1", true, false},
        {"7k/8/8/8/8/8/5p2/R3K2R w KQ -", "e1c1", true, false},
        // Across an attacked square, onto one; only b1 attacked does not count.
        {"5r1k/8/8/8/8/8/8/R3K2R w KQ -", "e1g1", true, false},
        {"3r3k/8/8/8/8/8/8/R3K2R w KQ -", "e1c1", true, false},
        {"6rk/8/8/8/8/8/8/R3K2R w KQ -", "e1g1", true, false},
        {"r3k2r/8/6N1/8/8/8/8/R3K2R b KQkq -", "e8g8", true, false},
        {"1r2k3/8/8/8/8/8/8/R3K3 w Q -", "e1c1", true, true},
        // Not listed: rook missing, a square between occupied (b1 too), right gone.
        {"4k3/8/8/8/8/8/8/R3K3 w KQ -", "e1g1", false, false},
        {"4k3/8/8/8/8/8/8/RN2K2R w KQ -", "e1c1", false, false},
        {"4k3/8/8/8/8/8/8/R3K1NR w KQ -", "e1g1", false, false},
        {"4k3/8/8/8/8/8/8/R3K2R w Q -", "e1g1", false, false},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQ -", "e8c8", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Listed(FromFen(c.fen)).find(c.castling) != std::string::npos, c.listed) << c.fen;
        EXPECT_EQ(Listed(FromFen(c.fen), true).find(c.castling) != std::string::npos, c.legal) << c.fen;
    }
}

TEST(Legality, NoLegalMoveForMateAndStalemateOnly) {
    EXPECT_FALSE(HasNoLegalMove(FromFen(test::kStart)));
    EXPECT_TRUE(HasNoLegalMove(FromFen("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq -")));
    EXPECT_TRUE(HasNoLegalMove(FromFen("7k/5Q2/6K1/8/8/8/8/8 b - -")));    // stalemate
    EXPECT_FALSE(HasNoLegalMove(FromFen("7k/6Q1/8/8/8/8/8/K7 b - -")));    // only Kxg7
    EXPECT_TRUE(HasNoLegalMove(FromFen("6rk/5Npp/8/8/8/8/8/7K b - -")));   // smothered
    EXPECT_TRUE(HasNoLegalMove(FromFen("8/8/8/8/8/8/8/8 w - -")));
}

// The quicker ways trust these bounds to tell when a list may fill up: each
// piece alone on every square, with pieces to capture in front of a pawn and
// rooks and rights for a king at home.
TEST(MoveGeneration, NoPieceListsMoreMovesThanTheMostForItsType) {
    MoveList list;
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
                EXPECT_LE(list.GenerateFrom(position, square), MoveList::kMostMoves[type]) << type << " on " << square;
            }
        }
    }
}

// More pieces than a game can have: 28 queens round the edge have 288 moves,
// among them h8's along the long diagonal.
TEST(MoveGeneration, StopsAt255MovesWithTheMovesOfLaterSquaresMissing) {
    const Position position = FromFen("QQQQQQQQ/Q6Q/Q6Q/Q6Q/Q6Q/Q6Q/Q6Q/QQQQQQQQ w - -");
    MoveList list;
    ASSERT_EQ(list.Generate(position), MoveList::kCapacity);
    for (int i = 1; i < MoveList::kCapacity; ++i) EXPECT_LE(MoveFrom(list.moves[i - 1]), MoveFrom(list.moves[i]));
    EXPECT_LT(MoveFrom(list.moves[254]), 63);
    EXPECT_EQ(list.MoveAt(255), list.moves[0]);
    EXPECT_EQ(list.MoveAt(-1), list.moves[0]);
    // The list is reusable after the jump: a fresh generation starts empty.
    EXPECT_EQ(list.Generate(FromFen(test::kStart)), 20);
    EXPECT_EQ(MoveName(list.MoveAt(19)), "h2h3");
    EXPECT_EQ(list.Count(), 20);
}

}  // namespace
}  // namespace cecp
