#include "chess/notation.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "chess/move_list.h"
#include "chess/move_text.h"
#include "fen.h"
#include "perft.h"

namespace cecp {
namespace {

using test::FromFen;
using test::Move;
using test::MoveName;

std::string San(const Position& position, MoveWord move) {
    char text[kSanTextSize];
    const int length = WriteSan(position, move, text);
    EXPECT_EQ(length, static_cast<int>(std::strlen(text)));
    return text;
}

std::string Fen(const Position& position, int halfMoveClock = 0, int fullMoveNumber = 1) {
    char text[kFenTextSize];
    const int length = WriteFen(position, halfMoveClock, fullMoveNumber, text);
    EXPECT_EQ(length, static_cast<int>(std::strlen(text)));
    return text;
}

// Walks the legal-move tree, writes every move and reads it back. Tallies
// what the moves into the leaves are as their notation tells it, as published
// with the perft counts: leaves, captures, en passant, castles, promotions,
// checks (mates included), mates.
struct SanWalk {
    void Walk(const Position& position, int depth) {
        MoveList list;
        const int count = list.Generate(position);
        for (int i = 0; i < count; ++i) {
            const MoveWord move = list.moves[i];
            if (!IsLegalMove(position, move)) continue;
            const std::string san = San(position, move);
            MoveWord read = 0;
            if ((recogniser.ParseMoveText(san.c_str(), position, &read) != kMoveTextOk || read != move) &&
                unread.size() < 10)
                unread.push_back(san + " for " + MoveName(move) + " in " + Fen(position));
            if (depth > 1) {
                Position child = position;
                child.MakeMove(move);
                Walk(child, depth - 1);
                continue;
            }
            const bool capture = san.find('x') != std::string::npos;
            const bool counted[] = {true, capture, capture && position.squares[MoveTo(move)] == 0, san[0] == 'O',
                                    san.find('=') != std::string::npos, san.back() == '+' || san.back() == '#',
                                    san.back() == '#'};
            for (int k = 0; k < 7; ++k) tally[k] += counted[k];
        }
    }

    MoveTextRecogniser recogniser;
    std::vector<std::uint64_t> tally = {0, 0, 0, 0, 0, 0, 0};
    std::vector<std::string> unread;
};

struct WalkCase {
    const char* fen;
    int depth;
    std::vector<std::uint64_t> expected;
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.fen << " depth " << c.depth; }

class SanOfEveryMove : public testing::TestWithParam<WalkCase> {};

TEST_P(SanOfEveryMove, ReadsBackAndAgreesWithThePublishedCounts) {
    SanWalk walk;
    walk.Walk(FromFen(GetParam().fen), GetParam().depth);
    EXPECT_EQ(walk.unread, std::vector<std::string>{});
    EXPECT_EQ(walk.tally, GetParam().expected);
}

// The leaf counts are the published perft counts, which hold the move
// generator and the legality test to them. A fifth of a second natively.
INSTANTIATE_TEST_SUITE_P(PerftPositions, SanOfEveryMove,
                         testing::Values(WalkCase{test::kStart, 3, {8902, 34, 0, 0, 0, 12, 0}},
                                         WalkCase{test::kKiwipete, 3, {97862, 17102, 45, 3162, 0, 993, 1}},
                                         WalkCase{test::kRookEnding, 4, {43238, 3348, 123, 0, 0, 1680, 17}}));

TEST(Notation, SanOfOneMoveIsWrittenAsPgnDoes) {
    struct Case {
        const char* fen;
        const char* move;
        const char* san;
    };
    const Case cases[] = {
        // The least that tells the piece from its rivals: the file (though the
        // rank would do as well), the rank, or both.
        {"4k3/8/8/8/8/5N2/8/1N2K3 w - -", "b1d2", "Nbd2"},
        {"4k3/8/8/6N1/8/8/8/4K1N1 w - -", "g5f3", "N5f3"},
        {"1k6/8/8/8/4Q2Q/8/8/K3n2Q w - -", "h4e1", "Qh4xe1"},
        {"1k6/8/8/8/4Q2Q/8/8/K3n2Q w - -", "e4e1", "Qexe1"},
        // The knight on d2 is pinned to its king: only one knight reaches f3.
        {"4k3/8/8/8/1b6/8/3N4/4K1N1 w - -", "g1f3", "Nf3"},
        // En passant with a discovered check; promotions; castling with check and mate.
        {"4r1k1/8/8/8/4pP2/8/8/4K3 b - f3", "e4f3", "exf3+"},
        {"4k3/8/8/8/8/8/6p1/4K2R b K -", "g2h1q", "gxh1=Q+"},
        {"8/4P1k1/8/8/8/8/8/K7 w - -", "e7e8n", "e8=N+"},
        {"r3k3/8/8/8/8/8/8/3K4 b q -", "e8c8", "O-O-O+"},
        {"4rkr1/4p1p1/8/8/8/1B6/8/4K2R w K -", "e1g1", "O-O#"},
        // A word that moves no piece is written as it stands.
        {test::kStart, "e3e4", "e3e4"},
        {test::kStart, "e1e1", "e1e1"},
    };
    for (const Case& c : cases) EXPECT_EQ(San(FromFen(c.fen), Move(c.move)), c.san) << c.fen;
}

// As the host's position comes: set up from its bytes, or played into.
Position Played(const char* fen, const char* move) {
    Position position = FromFen(fen);
    position.MakeMove(Move(move));
    return position;
}

Position With(const char* fen, int rights, int square = -1, int code = 0) {
    Position position = FromFen(fen);
    position.castlingRights = rights;
    if (square >= 0) position.squares[square] = static_cast<std::uint8_t>(code);
    return position;
}

TEST(Fen, NamesTheRightsThePlacementAllowsAndTheEnPassantSquareOnlyWhenACaptureIsLegal) {
    Position start;
    start.SetStartPosition();
    EXPECT_EQ(Fen(start), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    struct Case {
        Position position;
        const char* fen;
    };
    const Case cases[] = {
        {Played("rnbqkbnr/ppp1pppp/8/8/3pP3/3P4/PPP2PPP/RNBQKBNR w KQkq -", "c2c4"),
         "rnbqkbnr/ppp1pppp/8/8/2PpP3/3P4/PP3PPP/RNBQKBNR b KQkq c3 0 1"},
        {Played(test::kStart, "e2e4"), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1"},
        // dxe3 would leave the king to the rook.
        {Played("8/8/8/8/k2p3R/8/4P3/4K3 w - -", "e2e4"), "8/8/8/8/k2pP2R/8/8/4K3 b - - 0 1"},
        // A square no pawn has passed, as a careless host might send it.
        {FromFen("4k3/8/8/3P4/8/8/8/4K3 w - e6"), "4k3/8/8/3P4/8/8/8/4K3 w - - 0 1"},
        {With("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN1 w - -", kAllCastling),
         "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN1 w Qkq - 0 1"},
        {With("r2k3r/8/8/8/8/8/8/R4K1R b - -", kAllCastling), "r2k3r/8/8/8/8/8/8/R4K1R b - - 0 1"},
        {With("r3k2r/8/8/8/8/8/8/R3K2R w - -", kWhiteLong | kBlackShort), "r3k2r/8/8/8/8/8/8/R3K2R w Qk - 0 1"},
        // A White rook on h8 is not Black's.
        {With("1r2k2R/8/8/8/8/8/8/4K2R w - -", kAllCastling), "1r2k2R/8/8/8/8/8/8/4K2R w K - 0 1"},
        // Bytes that hold no piece, type 7 and type 0 with the Black bit, are empty squares.
        {With("4k3/8/8/8/3B4/8/8/4K3 w - -", 0, 28, kBlackBit), "4k3/8/8/8/3B4/8/8/4K3 w - - 0 1"},
        {With("4k3/8/8/8/8/8/8/4K3 w - -", 0, 27, 7), "4k3/8/8/8/8/8/8/4K3 w - - 0 1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Fen(c.position), c.fen);
        // The tests' FEN reader takes it back to a position with the same text.
        EXPECT_EQ(Fen(FromFen(c.fen)), c.fen);
    }
}

// Text that is not FEN is refused, saying why; any placement is taken, and
// the counters are read (0 and 1 when left out).
TEST(Fen, ReaderRefusesTextThatIsNotFenAndTakesAnyPlacement) {
    struct Case {
        const char* fen;
        const char* says;
    } cases[] = {
        {"", "6 fields"},
        {"8/8/8/4k3/8/8/8/4K3 w - - 0", "6 fields"},
        {"8/8/8/4k3/8/8/8/4K3 w - - 0 1 w", "6 fields"},
        {"8/8/8/4k3/8/8/4K3 w - -", "8 ranks of 8 squares"},
        {"8/8/8/4k3/8/8/8/4K3/8 w - -", "more than 8 ranks"},
        {"8/8/54/4k3/8/8/8/4K3 w - -", "rank 6 has more than 8 squares"},
        {"8/8/8/4k3/8/7/8/4K3 w - -", "rank 3 does not have 8 squares"},
        {"8/8/8/4k3/8/8/8/4K2X w - -", "'X' is not a piece letter"},
        {"8/8/8/4k3/8/8/8/4K3 x - -", "w or b"},
        {"8/8/8/4k3/8/8/8/4K3 w KQkx -", "letters of KQkq"},
        {"8/8/8/4k3/8/8/8/4K3 w KQk -", nullptr},
        {"8/8/8/4k3/8/8/8/4K3 w KQK -", "castling right K given twice"},
        {"8/8/8/4k3/8/8/8/4K3 w - z9", "en-passant square must be"},
        {"8/8/8/4k3/8/8/8/4K3 w - - x 1", "half-move clock"},
        {"8/8/8/4k3/8/8/8/4K3 w - - 0 0", "move number"},
        {"PPPPPPPP/8/8/8/8/8/8/kkkkkkkk b - - 0 1", nullptr},
    };
    for (const Case& c : cases) {
        Position position;
        int halfMoveClock = -1, fullMoveNumber = -1;
        char problem[kFenProblemSize];
        EXPECT_EQ(ReadFen(c.fen, &position, &halfMoveClock, &fullMoveNumber, problem), c.says == nullptr) << c.fen;
        if (c.says == nullptr) continue;
        EXPECT_NE(std::strstr(problem, c.says), nullptr) << c.fen << ": " << problem;
    }
    Position position;
    int halfMoveClock = -1, fullMoveNumber = -1;
    char problem[kFenProblemSize];
    ASSERT_TRUE(ReadFen("r3k2r/8/8/3pP3/8/8/8/R3K2R w Kq d6 7 31", &position, &halfMoveClock, &fullMoveNumber,
                        problem));
    EXPECT_EQ(Fen(position, halfMoveClock, fullMoveNumber), "r3k2r/8/8/3pP3/8/8/8/R3K2R w Kq d6 7 31");
    ASSERT_TRUE(ReadFen(" 8/8/8/4k3/8/8/8/4K3\tw - - ", &position, &halfMoveClock, &fullMoveNumber, problem));
    EXPECT_EQ(halfMoveClock, 0);
    EXPECT_EQ(fullMoveNumber, 1);
}

TEST(Fen, CountersAreWrittenAsGivenWithinTheirRange) {
    const Position position = FromFen("4k3/8/8/8/8/8/8/4K3 w - -");
    EXPECT_EQ(Fen(position, 37, 120), "4k3/8/8/8/8/8/8/4K3 w - - 37 120");
    EXPECT_EQ(Fen(position, -5, 0), "4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(Fen(position, INT_MIN, INT_MIN), "4k3/8/8/8/8/8/8/4K3 w - - 0 1");
}

TEST(Fen, TheLongestTextFitsItsBuffer) {
    // Every rank eight characters, every castling right, en passant, and
    // counters of ten digits.
    constexpr const char* kLongest = "r1b1k1nr/1p1p1p1p/1p1p1p1p/p1pPp1p1/1P1P1P1P/P1P1P1P1/1P1P1P1P/R1B1K1NR w KQkq e6";
    char text[kFenTextSize];
    const int length = WriteFen(FromFen(kLongest), INT_MAX, INT_MAX, text);
    EXPECT_EQ(std::string(text), std::string(kLongest) + " 2147483647 2147483647");
    EXPECT_EQ(length, kFenTextSize - 1);
}

}  // namespace
}  // namespace cecp
