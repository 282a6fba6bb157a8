// The quicker ways of judging moves held to the whole move list they stand
// for (one square's or piece type's moves, the king's safety read backwards
// from its square, coordinate text read from its square's moves) on the perft
// trees, on boards only a host hands over, and on boards whose lists fill up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "chess/move_list.h"
#include "chess/move_text.h"
#include "chess/notation.h"
#include "fen.h"
#include "perft.h"

namespace cecp {
namespace {

using test::FromFen;
using test::MoveName;

// Collects what disagrees, so that one fault reports a few examples rather
// than thousands of lines, and expects nothing when it goes.
struct Disagreements {
    ~Disagreements() { EXPECT_EQ(count, 0) << examples; }
    void Add(const Position& position, const std::string& what) {
        if (++count > 10) return;
        char fen[kFenTextSize];
        WriteFen(position, 0, 1, fen);
        examples += "  " + what + " in " + fen + "\n";
    }
    int count = 0;
    std::string examples;
};

std::vector<MoveWord> Listed(const Position& position) {
    MoveList list;
    const int count = list.Generate(position);
    return std::vector<MoveWord>(list.moves, list.moves + count);
}

// The positions of a tree of legal moves down to the depth, its root included.
void AddTree(const Position& position, int depth, std::vector<Position>* out) {
    out->push_back(position);
    if (depth == 0) return;
    for (const MoveWord move : Listed(position)) {
        Position child = position;
        child.MakeMove(move);
        if (KingSafeAfterMoveByList(child, move)) AddTree(child, depth - 1, out);
    }
}

// The perft positions and sharp ones: promotions by both sides with and
// without captures, castling with and without its squares attacked, en
// passant with and without a pin.
const std::vector<Position>& GamePositions(int depth) {
    static std::vector<Position> positions[3];
    std::vector<Position>& out = positions[depth];
    if (out.empty()) {
        for (const char* fen : {test::kStart, test::kKiwipete, test::kRookEnding, test::kMiddlegame,
                                "3q3k/4P3/8/8/8/8/8/4K3 w - -", "1r2k2r/2P3P1/8/8/8/8/1p4p1/R3K1NR b KQk -",
                                "r3k2r/8/8/8/8/5b2/8/R3K2R w KQkq -", "r3k2r/8/6N1/8/8/8/8/R3K2R b KQkq -",
                                "8/8/8/K2pP2r/8/8/8/7k w - d6", "4k3/8/8/8/2pPp3/8/8/4K3 b - d3"})
            AddTree(FromFen(fen), depth, &out);
    }
    return out;
}

// A placement with the host's side, rights and en-passant values as they
// come, and bytes of no piece code put on squares before the kings are found.
Position Odd(const char* placement, int side, int castling, int ep,
             std::initializer_list<std::pair<int, int>> bytes = {}) {
    std::uint8_t board[kSquareCount];
    std::memcpy(board, FromFen(std::string(placement) + " w - -").squares, sizeof board);
    for (auto [square, code] : bytes) board[square] = static_cast<std::uint8_t>(code);
    Position position;
    position.SetFromBoard(board, side, castling, ep);
    return position;
}

// Queens round the edge: the side to move's list fills up within e8's moves
// and loses those of f8 and g8.
const Position kWhiteQueens = Odd("QQQQQQQK/Q6Q/Q6Q/Q6Q/Q6Q/Q6Q/Q6Q/kQQQQQQQ", 0, 0, 0);
// Black's pieces list 264 moves before the h8 queen takes the king on h7.
const Position kKingBeyondAFullList = Odd("qqqqqqPq/q4qPK/q5rb/q6q/q6q/q6q/q6q/bqqqqqqq", 1, 0, 0);

// Such boards, each also with the rights its placement allows.
const std::vector<Position>& OddPositions() {
    static const std::vector<Position> positions = [] {
        std::vector<Position> out;
        for (Position board : {
                 Odd("PPPPPPPP/pppppppp/8/4k3/8/4K3/PPPPPPPP/pppppppp", 0, 15, 0),
                 Odd("PPPPPPPP/pppppppp/8/4k3/8/4K3/PPPPPPPP/pppppppp", 1, 15, 0),
                 Odd("rnbq1bnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQ1BNR", 0, 15, 0),
                 Odd("kKkKkKkK/KkKkKkKk/8/8/8/8/kKkKkKkK/KkKkKkKk", 1, 15, 0),
                 Odd("QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/qqqqqqqq/qqqqqqqq/qqqqqqqq/qqqqqqqq", 0, 15, 0),
                 Odd("Q1Q1Q1Q1/1Q1Q1Q1Q/Q1Q1Q1Q1/1Q1Q1Q1Q/Q1Q1Q1Q1/1Q1Q1Q1Q/Q1Q1Q1Q1/k6K", 0, 15, 0),
                 // Rights that the placement contradicts.
                 Odd("4k3/8/8/8/8/8/8/4K3", 0, 15, 0), Odd("k6K/8/8/8/8/8/8/K6k", 0, 15, 0),
                 Odd("R3k2R/8/8/8/8/8/8/r3K2r", 1, 15, 0),
                 // En-passant squares off ranks 3 and 6, on the king, out of range; a stray side.
                 Odd("4k3/8/8/P6P/8/8/8/4K3", 0, 0, 39), Odd("4k3/8/8/8/p6p/8/8/4K3", 1, 0, 24),
                 Odd("4k3/8/8/3pP3/8/8/8/4K3", 0, 0, 60), Odd("4k3/8/8/3pP3/8/8/8/4K3", 0, 0, 43 + 256),
                 Odd("4k3/8/8/3pP3/8/8/8/4K3", 0, 0, -1), Odd("4k3/8/8/8/8/8/8/4K3", -7, -1, 0),
                 Odd("4k3/8/8/8/8/8/8/4K3", 0, 15, 0,
                     {{0, 7}, {7, 15}, {12, 0x17}, {27, 0xff}, {36, 0x80}, {52, 0x1e}, {56, 0x10}, {63, 0x21}}),
                 Odd("4k3/8/8/8/8/8/8/4K3", 1, 15, 0,
                     {{8, 0x19}, {9, 0xfe}, {10, 8}, {11, 0x88}, {35, 0x1d}, {48, 0x19}, {62, 0xf9}}),
                 kWhiteQueens, Odd("qqqqqqqk/q6q/q6q/q6q/q6q/q6q/q6q/Kqqqqqqq", 1, 0, 0), kKingBeyondAFullList}) {
            out.push_back(board);
            board.CastlingFromPlacement();
            out.push_back(board);
        }
        return out;
    }();
    return positions;
}

// Every position of both kinds, to the depth of the game trees.
template <typename Check>
void ForEachPosition(int depth, Check check) {
    for (const Position& position : GamePositions(depth)) check(position);
    for (const Position& position : OddPositions()) check(position);
}

TEST(Agreement, EachSquaresAndPieceTypesMovesAreTheListsMovesFromThere) {
    Disagreements d;
    MoveList list;
    ForEachPosition(2, [&](const Position& position) {
        const std::vector<MoveWord> all = Listed(position);
        if (std::any_of(all.begin(), all.end(), IsNullMove)) d.Add(position, "a null move in the list");
        for (int square = -1; square <= kSquareCount; ++square) {
            std::vector<MoveWord> expected;
            std::copy_if(all.begin(), all.end(), std::back_inserter(expected),
                         [square](MoveWord move) { return MoveFrom(move) == square; });
            const int count = list.GenerateFrom(position, square);
            if (std::vector<MoveWord>(list.moves, list.moves + count) != expected)
                d.Add(position, "the moves from square " + std::to_string(square));
        }
        // Types beyond the pieces' included, which have no moves.
        for (int type = -1; type <= 8; ++type) {
            std::vector<MoveWord> expected;
            std::copy_if(all.begin(), all.end(), std::back_inserter(expected), [&](MoveWord move) {
                return TypeOf(position.squares[MoveFrom(move)]) == type;
            });
            const int count = list.GenerateOfType(position, type);
            if (std::vector<MoveWord>(list.moves, list.moves + count) != expected)
                d.Add(position, "the moves of piece type " + std::to_string(type));
        }
    });
}

TEST(Agreement, KingSafetyIsTheOpponentsListsAnswer) {
    Disagreements d;
    const auto check = [&d](const Position& afterMove, MoveWord move) {
        if (KingSafeAfterMove(afterMove, move) != KingSafeAfterMoveByList(afterMove, move))
            d.Add(afterMove, "king safety after " + MoveName(move));
    };
    ForEachPosition(1, [&](const Position& position) {
        // After every listed move; the position itself taken as one after the
        // null move (SideToMoveInCheck's question) and after every two-file
        // step onto a c- or g-square, castling when a king stands there.
        for (const MoveWord move : Listed(position)) {
            Position after = position;
            after.MakeMove(move);
            check(after, move);
        }
        check(position, MakeMoveWord(0, 0));
        for (int rank = 0; rank < 8; ++rank) {
            check(position, MakeMoveWord(MakeSquare(4, rank), MakeSquare(6, rank)));
            check(position, MakeMoveWord(MakeSquare(4, rank), MakeSquare(2, rank)));
            check(position, MakeMoveWord(MakeSquare(0, rank), MakeSquare(2, rank)));
        }
        // The king's square as the position names it need not hold the king
        // (a missing king keeps its old square): every square in turn.
        Position probe = position;
        for (int square = 0; square < kSquareCount; ++square) {
            (probe.sideToMove != 0 ? probe.whiteKingSquare : probe.blackKingSquare) = square;
            check(probe, MakeMoveWord(0, 0));
        }
    });
}

// Coordinate text is read from its from square's moves. (Other text is read
// from the moves of the piece type it names, held to the list above.)
void CheckText(MoveTextRecogniser& recogniser, const Position& position, const std::string& text, Disagreements* d) {
    MoveWord quick = 0x7fff, byList = 0x7fff;
    const int quickResult = recogniser.ParseMoveText(text.c_str(), position, &quick);
    const int listResult = recogniser.ParseMoveTextByList(text.c_str(), position, &byList);
    if (quickResult != listResult || quick != byList)
        d->Add(position, "\"" + text + "\" read as " + std::to_string(quickResult) + " " + MoveName(quick) +
                             ", by the list " + std::to_string(listResult) + " " + MoveName(byList));
}

std::string SquareName(int square) { return {FileLetter(square), RankDigit(square)}; }

// Every from square and target, without a letter, with one that it does not
// need and, onto the last rank, with each letter in either case; and a line
// of every kind of move text, cut short by the capacity.
TEST(Agreement, MoveTextIsReadAsTheListReadsIt) {
    MoveTextRecogniser recogniser;
    Disagreements d;
    ForEachPosition(0, [&](const Position& position) {
        const char* line = "e4 e5 Nf3 O-O 0-0-0 exd ed a8 Kxb2 1.e1g1 e8c8 a7a8q b7b8B Qa1 P@e4 hg e2e4+ oOo";
        MoveWord quick[8] = {}, byList[8] = {};
        const int read = recogniser.ParseVariation(line, position, quick, 7);
        if (read != recogniser.ParseVariationByList(line, position, byList, 7) || !std::equal(quick, quick + 8, byList))
            d.Add(position, "the line");
        for (int from = 0; from < kSquareCount; ++from) {
            for (int to = 0; to < kSquareCount; ++to) {
                const std::string text = SquareName(from) + SquareName(to);
                const bool last = (RankOf(from) == 6 && RankOf(to) == 7) || (RankOf(from) == 1 && RankOf(to) == 0);
                CheckText(recogniser, position, text, &d);
                for (const char letter : std::string(last ? "qrbnQRBN" : "n"))
                    CheckText(recogniser, position, text + letter, &d);
            }
        }
    });
}

// The fallbacks matter: on these boards the quick answers alone would differ
// from the list's.
TEST(Agreement, FullListsLoseTheSameMovesForTheQuickWays) {
    // White's list fills up within e8's moves: g8's are lost, b1's are not.
    MoveList list;
    EXPECT_EQ(list.GenerateFrom(kWhiteQueens, 62), 0);
    EXPECT_GT(list.GenerateFrom(kWhiteQueens, 1), 0);
    MoveTextRecogniser recogniser;
    MoveWord move = 0;
    EXPECT_EQ(recogniser.ParseMoveText("g8g7", kWhiteQueens, &move), kMoveTextNoMatch);
    EXPECT_EQ(recogniser.ParseMoveText("b1b2", kWhiteQueens, &move), kMoveTextOk);

    // The h8 queen attacks the king on h7, but Black's list never gets to
    // it; with four queens fewer on the first rank it does.
    Position beyond = kKingBeyondAFullList;
    EXPECT_TRUE(KingSafeAfterMove(beyond, MakeMoveWord(0, 0)));
    for (int square = 2; square <= 5; ++square) beyond.squares[square] = 0;
    EXPECT_FALSE(KingSafeAfterMove(beyond, MakeMoveWord(0, 0)));
}

}  // namespace
}  // namespace cecp
