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

Position Played(const std::vector<const char*>& moves) {
    Position position;
    position.SetStartPosition();
    for (const char* move : moves) position.MakeMove(Move(move));
    return position;
}

// What the moves into the leaves of a perft tree are, as their notation
// tells it; published with the leaf counts. Checks include mates.
struct Tally {
    std::uint64_t leaves, captures, enPassant, castles, promotions, checks, mates;
};

bool operator==(const Tally& a, const Tally& b) {
    return a.leaves == b.leaves && a.captures == b.captures && a.enPassant == b.enPassant && a.castles == b.castles &&
           a.promotions == b.promotions && a.checks == b.checks && a.mates == b.mates;
}

void PrintTo(const Tally& t, std::ostream* os) {
    *os << t.leaves << " leaves, " << t.captures << " captures, " << t.enPassant << " en passant, " << t.castles
        << " castles, " << t.promotions << " promotions, " << t.checks << " checks, " << t.mates << " mates";
}

// Walks the legal-move tree, writes every move and reads it back.
class SanWalk {
public:
    void Walk(const Position& position, int depth) {
        MoveList list;
        const int count = list.Generate(position);
        std::vector<MoveWord> legal;
        for (int i = 0; i < count; ++i)
            if (IsLegalMove(position, list.moves[i])) legal.push_back(list.moves[i]);
        for (const MoveWord move : legal) {
            const std::string san = San(position, move);
            Check(position, legal, move, san);
            if (depth > 1) {
                Position child = position;
                child.MakeMove(move);
                Walk(child, depth - 1);
            } else {
                Count(position, move, san);
            }
        }
    }

    Tally tally{};
    std::vector<std::string> faults;

private:
    void Fault(const Position& position, MoveWord move, const std::string& san, const char* what) {
        if (faults.size() < 10) faults.push_back(san + " for " + MoveName(move) + " in " + Fen(position) + ": " + what);
    }

    void Check(const Position& position, const std::vector<MoveWord>& legal, MoveWord move, const std::string& san) {
        MoveWord read = 0;
        if (recogniser.ParseMoveText(san.c_str(), position, &read) != kMoveTextOk || read != move)
            return Fault(position, move, san, "reads back as another move");
        const int type = TypeOf(position.squares[MoveFrom(move)]);
        if (type == kPawn || san[0] == 'O') return;

        // Piece letter, disambiguation, target; x, + and # carry no square.
        std::string core;
        for (const char c : san)
            if (c != 'x' && c != '+' && c != '#') core += c;
        const std::string named = core.substr(1, core.size() - 3);
        bool fileShared = false, rankShared = false;
        int rivals = 0;
        for (const MoveWord other : legal) {
            const int from = MoveFrom(other);
            if (MoveTo(other) != MoveTo(move) || from == MoveFrom(move) || TypeOf(position.squares[from]) != type)
                continue;
            ++rivals;
            fileShared |= FileOf(from) == FileOf(MoveFrom(move));
            rankShared |= RankOf(from) == RankOf(MoveFrom(move));
        }
        // The least that tells the piece apart: nothing, the file, the rank
        // only when the file is shared, both only when both are.
        const bool least = rivals == 0   ? named.empty()
                           : !fileShared ? named.size() == 1 && named[0] >= 'a' && named[0] <= 'h'
                           : !rankShared ? named.size() == 1 && named[0] >= '1' && named[0] <= '8'
                                         : named.size() == 2;
        if (!least) Fault(position, move, san, "disambiguates more or less than it needs");
    }

    void Count(const Position& position, MoveWord move, const std::string& san) {
        ++tally.leaves;
        const bool capture = san.find('x') != std::string::npos;
        tally.captures += capture;
        tally.enPassant += capture && position.squares[MoveTo(move)] == 0;
        tally.castles += san[0] == 'O';
        tally.promotions += san.find('=') != std::string::npos;
        tally.checks += san.back() == '+' || san.back() == '#';
        tally.mates += san.back() == '#';
    }

    MoveTextRecogniser recogniser;
};

struct WalkCase {
    const char* fen;
    int depth;
    Tally expected;
    bool leavesAlonePublished;
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.fen << " depth " << c.depth; }

class SanOfEveryMove : public testing::TestWithParam<WalkCase> {};

TEST_P(SanOfEveryMove, ReadsBackAndAgreesWithThePublishedCounts) {
    SanWalk walk;
    walk.Walk(FromFen(GetParam().fen), GetParam().depth);
    EXPECT_EQ(walk.faults, std::vector<std::string>{});
    if (GetParam().leavesAlonePublished)
        EXPECT_EQ(walk.tally.leaves, GetParam().expected.leaves);
    else
        EXPECT_EQ(walk.tally, GetParam().expected);
}

// Leaves, captures, en passant, castles, promotions, checks, mates at the
// last ply, as published with the perft counts. A fifth of a second natively.
INSTANTIATE_TEST_SUITE_P(
    PerftPositions, SanOfEveryMove,
    testing::Values(WalkCase{test::kStart, 3, {8902, 34, 0, 0, 0, 12, 0}, false},
                    WalkCase{test::kKiwipete, 3, {97862, 17102, 45, 3162, 0, 993, 1}, false},
                    WalkCase{test::kRookEnding, 4, {43238, 3348, 123, 0, 0, 1680, 17}, false},
                    WalkCase{test::kMiddlegame, 2, {2079, 0, 0, 0, 0, 0, 0}, true}));

INSTANTIATE_TEST_SUITE_P(DISABLED_Deep, SanOfEveryMove,
                         testing::Values(WalkCase{test::kStart, 4, {197281, 1576, 0, 0, 0, 469, 8}, false},
                                         WalkCase{test::kMiddlegame, 3, {89890, 0, 0, 0, 0, 0, 0}, true}));

struct SanCase {
    const char* name;
    const char* fen;
    const char* move;
    const char* san;
};

class SanOfOneMove : public testing::TestWithParam<SanCase> {};

TEST_P(SanOfOneMove, IsWrittenAsPgnDoes) {
    EXPECT_EQ(San(FromFen(GetParam().fen), Move(GetParam().move)), GetParam().san);
}

INSTANTIATE_TEST_SUITE_P(
    Moves, SanOfOneMove,
    testing::Values(
        SanCase{"KnightsOnOneRankByFile", "4k3/8/8/8/8/8/8/1N2KN2 w - -", "b1d2", "Nbd2"},
        // The rank would tell them apart as well; the file comes first.
        SanCase{"FileBeforeRank", "4k3/8/8/8/8/5N2/8/1N2K3 w - -", "b1d2", "Nbd2"},
        SanCase{"KnightsOnOneFileByRank", "4k3/8/8/6N1/8/8/8/4K1N1 w - -", "g5f3", "N5f3"},
        SanCase{"RooksOnOneFileByRank", "4k3/8/8/R7/8/8/8/R3K3 w - -", "a1a3", "R1a3"},
        SanCase{"ThreeQueensBySquare", "1k6/8/8/8/4Q2Q/8/8/K3n2Q w - -", "h4e1", "Qh4xe1"},
        SanCase{"ThirdQueenByFile", "1k6/8/8/8/4Q2Q/8/8/K3n2Q w - -", "e4e1", "Qexe1"},
        // The knight on d2 is pinned to its king: only one knight reaches f3.
        SanCase{"PinnedRivalNeedsNoDisambiguation", "4k3/8/8/8/1b6/8/3N4/4K1N1 w - -", "g1f3", "Nf3"},
        SanCase{"PawnsCapturingOnOneSquareByFile", "4k3/8/8/3p4/2P1P3/8/8/4K3 w - -", "c4d5", "cxd5"},
        SanCase{"EnPassant", "4k3/8/8/3pP3/8/8/8/4K3 w - d6", "e5d6", "exd6"},
        SanCase{"BlackEnPassantWithDiscoveredCheck", "4r1k1/8/8/8/4pP2/8/8/4K3 b - f3", "e4f3", "exf3+"},
        SanCase{"PromotionCapturingWithCheck", "4k3/8/8/8/8/8/6p1/4K2R b K -", "g2h1q", "gxh1=Q+"},
        SanCase{"UnderpromotionWithCheck", "8/4P1k1/8/8/8/8/8/K7 w - -", "e7e8n", "e8=N+"},
        SanCase{"ShortCastlingWithCheck", "5k2/8/8/8/8/8/8/4K2R w K -", "e1g1", "O-O+"},
        SanCase{"LongCastlingWithCheck", "3k4/8/8/8/8/8/8/R3K3 w Q -", "e1c1", "O-O-O+"},
        SanCase{"BlackLongCastlingWithCheck", "r3k3/8/8/8/8/8/8/3K4 b q -", "e8c8", "O-O-O+"},
        SanCase{"CastlingMates", "4rkr1/4p1p1/8/8/8/1B6/8/4K2R w K -", "e1g1", "O-O#"},
        SanCase{"ScholarsMate", "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq -", "h5f7",
                "Qxf7#"},
        SanCase{"KingCaptures", "4k3/8/8/8/8/8/4r3/4K3 w - -", "e1e2", "Kxe2"},
        // A word that moves no piece is written as it stands.
        SanCase{"EmptyFromSquare", test::kStart, "e3e4", "e3e4"},
        SanCase{"NullMove", test::kStart, "e1e1", "e1e1"}),
    [](const testing::TestParamInfo<SanCase>& info) { return info.param.name; });

TEST(Fen, StartPosition) {
    Position start;
    start.SetStartPosition();
    EXPECT_EQ(Fen(start), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
}

struct FenCase {
    const char* name;
    Position position;
    const char* fen;
};

class FenOfPosition : public testing::TestWithParam<FenCase> {};

TEST_P(FenOfPosition, IsWrittenAndReadBack) {
    const std::string fen = Fen(GetParam().position, 0, 3);
    EXPECT_EQ(fen, GetParam().fen);
    // The FEN reader of the tests takes it back to a position with the same text.
    EXPECT_EQ(Fen(FromFen(fen), 0, 3), fen);
}

Position WithoutRookOnH1() {
    Position position;
    position.SetStartPosition();
    position.squares[7] = 0;
    return position;
}

Position WithRights(const char* fen, int rights) {
    Position position = FromFen(fen);
    position.castlingRights = rights;
    return position;
}

// Bytes that hold no piece: type 7, and type 0 with the Black bit.
Position WithStrayBytes() {
    Position position = FromFen("4k3/8/8/8/8/8/8/4K3 w - -");
    position.squares[27] = 7;
    position.squares[36] = kBlackBit;
    return position;
}

INSTANTIATE_TEST_SUITE_P(
    Positions, FenOfPosition,
    testing::Values(
        // d4 takes c3 en passant.
        FenCase{"BlackCanCaptureEnPassant", Played({"e2e4", "d7d5", "d2d3", "d5d4", "c2c4"}),
                "rnbqkbnr/ppp1pppp/8/8/2PpP3/3P4/PP3PPP/RNBQKBNR b KQkq c3 0 3"},
        FenCase{"NoPawnToCaptureEnPassant", Played({"e2e4"}),
                "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 3"},
        // dxe3 would take both pawns off the fourth rank and leave the king to the rook.
        FenCase{"EnPassantWouldExposeTheKing",
                [] {
                    Position position = FromFen("8/8/8/8/k2p3R/8/4P3/4K3 w - -");
                    position.MakeMove(Move("e2e4"));
                    return position;
                }(),
                "8/8/8/8/k2pP2R/8/8/4K3 b - - 0 3"},
        // A square no pawn has passed, as a careless host might send it.
        FenCase{"EnPassantSquareNoPawnPassed", FromFen("4k3/8/8/3P4/8/8/8/4K3 w - e6"), "4k3/8/8/3P4/8/8/8/4K3 w - - 0 3"},
        FenCase{"RookGoneFromH1", WithoutRookOnH1(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN1 w Qkq - 0 3"},
        FenCase{"KingsAwayFromHome", WithRights("r2k3r/8/8/8/8/8/8/R4K1R b - -", kAllCastling),
                "r2k3r/8/8/8/8/8/8/R4K1R b - - 0 3"},
        FenCase{"RightsGivenUpStayGone", WithRights("r3k2r/8/8/8/8/8/8/R3K2R w - -", kWhiteLong | kBlackShort),
                "r3k2r/8/8/8/8/8/8/R3K2R w Qk - 0 3"},
        FenCase{"StrayBytesAreEmptySquares", WithStrayBytes(), "4k3/8/8/8/8/8/8/4K3 w - - 0 3"}),
    [](const testing::TestParamInfo<FenCase>& info) { return info.param.name; });

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
