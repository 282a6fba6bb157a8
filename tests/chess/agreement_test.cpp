// The quicker ways of judging moves against the whole move list they stand
// for: one square's or one piece type's moves against the list's moves from
// there, the king's safety read backwards from its square against the
// opponent's list, move text read from those moves alone against the same
// text read against the list.
// They must agree everywhere: on the trees of the perft positions, on hostile
// and random boards, and on boards whose lists fill up and lose moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "boards.h"
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
// than thousands of lines.
class Disagreements {
public:
    void Add(const Position& position, const std::string& what) {
        if (++count > 10) return;
        char fen[kFenTextSize];
        WriteFen(position, 0, 1, fen);
        examples += "  " + what + " in " + fen + "\n";
    }
    int count = 0;
    std::string examples;
};

void ExpectNone(const Disagreements& d) { EXPECT_EQ(d.count, 0) << d.examples; }

std::vector<MoveWord> Listed(const Position& position) {
    MoveList list;
    const int count = list.Generate(position);
    return std::vector<MoveWord>(list.moves, list.moves + count);
}

// Legal as the whole list judges it.
bool LegalByList(const Position& position, MoveWord move) {
    Position after = position;
    after.MakeMove(move);
    return KingSafeAfterMoveByList(after, move);
}

// The positions of a tree of legal moves down to the depth, its root included.
void AddTree(const Position& position, int depth, std::vector<Position>* out) {
    out->push_back(position);
    if (depth == 0) return;
    for (const MoveWord move : Listed(position)) {
        if (!LegalByList(position, move)) continue;
        Position child = position;
        child.MakeMove(move);
        AddTree(child, depth - 1, out);
    }
}

// Promotions by both sides with and without captures, castling with and
// without its squares attacked, en passant with and without a pin.
constexpr const char* kSharpPositions[] = {
    "3q3k/4P3/8/8/8/8/8/4K3 w - -",
    "1r2k2r/2P3P1/8/8/8/8/1p4p1/R3K1NR b KQk -",
    "r3k2r/8/8/8/8/5b2/8/R3K2R w KQkq -",
    "r3k2r/8/6N1/8/8/8/8/R3K2R b KQkq -",
    "8/8/8/K2pP2r/8/8/8/7k w - d6",
    "4k3/8/8/8/2pPp3/8/8/4K3 b - d3",
};

// The trees of the perft positions and of these.
const std::vector<Position>& GamePositions(int depth) {
    static std::vector<Position> positions[3];
    std::vector<Position>& out = positions[depth];
    if (out.empty()) {
        for (const char* fen : {test::kStart, test::kKiwipete, test::kRookEnding, test::kMiddlegame})
            AddTree(FromFen(fen), depth, &out);
        for (const char* fen : kSharpPositions) AddTree(FromFen(fen), depth, &out);
    }
    return out;
}

const std::vector<Position>& OddPositions() {
    static const std::vector<Position> positions = [] {
        std::vector<Position> out;
        for (const test::HostileBoard& board : test::HostileBoards()) {
            out.push_back(board.ToPosition());
            out.push_back(board.ToPosition(true));
        }
        test::RandomBoards boards(2024);
        for (int round = 0; round < 40; ++round) out.push_back(boards.Next(round % 2 == 1));
        return out;
    }();
    return positions;
}

void CheckSquareMoves(const Position& position, Disagreements* d) {
    const std::vector<MoveWord> all = Listed(position);
    MoveList list;
    for (int square = -1; square <= kSquareCount; ++square) {
        std::vector<MoveWord> expected;
        for (const MoveWord move : all)
            if (MoveFrom(move) == square) expected.push_back(move);
        const int count = list.GenerateFrom(position, square);
        if (std::vector<MoveWord>(list.moves, list.moves + count) != expected)
            d->Add(position, "the moves from square " + std::to_string(square));
    }
}

// Types beyond the pieces' included, which have no moves.
void CheckTypeMoves(const Position& position, Disagreements* d) {
    const std::vector<MoveWord> all = Listed(position);
    MoveList list;
    for (int type = -1; type <= 8; ++type) {
        std::vector<MoveWord> expected;
        for (const MoveWord move : all)
            if (TypeOf(position.squares[MoveFrom(move)]) == type) expected.push_back(move);
        const int count = list.GenerateOfType(position, type);
        if (std::vector<MoveWord>(list.moves, list.moves + count) != expected)
            d->Add(position, "the moves of piece type " + std::to_string(type));
    }
}

void CheckKingSafety(const Position& afterMove, MoveWord move, Disagreements* d) {
    if (KingSafeAfterMove(afterMove, move) != KingSafeAfterMoveByList(afterMove, move))
        d->Add(afterMove, "king safety after " + MoveName(move));
}

// After every listed move; and the position itself taken as one after the
// null move (SideToMoveInCheck's question) and after every two-file step onto
// a c- or g-square, castling when a king stands there.
void CheckKingSafetyAround(const Position& position, Disagreements* d) {
    for (const MoveWord move : Listed(position)) {
        Position after = position;
        after.MakeMove(move);
        CheckKingSafety(after, move, d);
    }
    CheckKingSafety(position, MakeMoveWord(0, 0), d);
    for (int rank = 0; rank < 8; ++rank) {
        CheckKingSafety(position, MakeMoveWord(MakeSquare(4, rank), MakeSquare(6, rank)), d);
        CheckKingSafety(position, MakeMoveWord(MakeSquare(4, rank), MakeSquare(2, rank)), d);
        CheckKingSafety(position, MakeMoveWord(MakeSquare(0, rank), MakeSquare(2, rank)), d);
    }
}

// The king's square as the position names it, which need not hold the king
// (a missing king keeps its old square): every square taken for it in turn
// asks whether any move of the side to move lands there.
void CheckEverySquareAsTheKings(const Position& position, Disagreements* d) {
    Position probe = position;
    for (int square = 0; square < kSquareCount; ++square) {
        (probe.sideToMove != 0 ? probe.whiteKingSquare : probe.blackKingSquare) = square;
        CheckKingSafety(probe, MakeMoveWord(0, 0), d);
    }
}

void CheckText(MoveTextRecogniser& recogniser, const Position& position, const char* text, Disagreements* d) {
    MoveWord quick = 0x7fff, byList = 0x7fff;
    const int quickResult = recogniser.ParseMoveText(text, position, &quick);
    const int listResult = recogniser.ParseMoveTextByList(text, position, &byList);
    if (quickResult != listResult || quick != byList)
        d->Add(position, "\"" + std::string(text) + "\" read as " + std::to_string(quickResult) + " " +
                             MoveName(quick) + ", by the list " + std::to_string(listResult) + " " + MoveName(byList));
}

std::string SquareName(int square) { return {FileLetter(square), RankDigit(square)}; }

// Every from square and target without a letter, and from the ranks before
// the last onto the last with each letter in either case.
void CheckEveryCoordinateText(MoveTextRecogniser& recogniser, const Position& position, Disagreements* d) {
    for (int from = 0; from < kSquareCount; ++from) {
        for (int to = 0; to < kSquareCount; ++to) {
            char text[6] = {FileLetter(from), RankDigit(from), FileLetter(to), RankDigit(to), 0, 0};
            CheckText(recogniser, position, text, d);
            if (!(RankOf(from) == 6 && RankOf(to) == 7) && !(RankOf(from) == 1 && RankOf(to) == 0)) continue;
            for (const char letter : {'q', 'r', 'b', 'n', 'Q', 'R', 'B', 'N'}) {
                text[4] = letter;
                CheckText(recogniser, position, text, d);
            }
        }
    }
}

// Each listed move as engines write it, and without its letter; a promotion
// also with its letter in upper case, any other move with a letter that it
// does not need.
void CheckListedTexts(MoveTextRecogniser& recogniser, const Position& position, Disagreements* d) {
    for (const MoveWord move : Listed(position)) {
        const std::string text = MoveName(move);
        const std::string plain = text.substr(0, 4);
        const std::string lettered = IsPromotion(move) ? plain + static_cast<char>(text[4] - 'a' + 'A') : plain + "n";
        for (const std::string& variant : {text, plain, lettered}) CheckText(recogniser, position, variant.c_str(), d);
    }
}

TEST(Agreement, EachSquaresMovesAreTheListsMovesFromIt) {
    Disagreements d;
    for (const Position& position : GamePositions(2)) CheckSquareMoves(position, &d);
    for (const Position& position : OddPositions()) CheckSquareMoves(position, &d);
    ExpectNone(d);
}

TEST(Agreement, EachPieceTypesMovesAreTheListsMovesOfIt) {
    Disagreements d;
    for (const Position& position : GamePositions(2)) CheckTypeMoves(position, &d);
    for (const Position& position : OddPositions()) CheckTypeMoves(position, &d);
    ExpectNone(d);
}

TEST(Agreement, KingSafetyIsTheOpponentsListsAnswer) {
    Disagreements d;
    for (const Position& position : GamePositions(1)) CheckKingSafetyAround(position, &d);
    for (const Position& position : OddPositions()) CheckKingSafetyAround(position, &d);
    for (const Position& position : GamePositions(1)) CheckEverySquareAsTheKings(position, &d);
    for (const Position& position : OddPositions()) CheckEverySquareAsTheKings(position, &d);
    ExpectNone(d);
}

TEST(Agreement, EveryCoordinateTextIsReadAsTheListReadsIt) {
    MoveTextRecogniser recogniser;
    Disagreements d;
    for (const Position& position : GamePositions(0)) CheckEveryCoordinateText(recogniser, position, &d);
    for (const Position& position : OddPositions()) CheckEveryCoordinateText(recogniser, position, &d);
    ExpectNone(d);
}

// Each legal move in standard notation, and the texts that name a piece (or
// none) and a target in every way engines shorten them: with a from file or
// rank too many or too few, a pawn's capture as two files, castling marks.
void CheckStandardTexts(MoveTextRecogniser& recogniser, const Position& position, Disagreements* d) {
    for (const MoveWord move : Listed(position)) {
        if (!IsLegalMove(position, move)) continue;
        char san[kSanTextSize];
        WriteSan(position, move, san);
        CheckText(recogniser, position, san, d);
    }
    for (const char* piece : {"", "P", "N", "B", "R", "Q", "K", "n"}) {
        for (int to = 0; to < kSquareCount; ++to) {
            const std::string target = SquareName(to);
            for (const std::string& from : {std::string(), std::string(1, 'a' + (to + 1) % 8),
                                            std::string(1, '1' + (to + 3) % 8), SquareName(63 - to)}) {
                CheckText(recogniser, position, (piece + from + target).c_str(), d);
                CheckText(recogniser, position, (piece + from + "x" + target + "+").c_str(), d);
            }
        }
    }
    for (const char* text : {"O-O", "O-O-O", "0-0", "0-0-0", "ab", "ed", "hg", "e8=Q", "exd8=N", "b1=q"})
        CheckText(recogniser, position, text, d);
}

TEST(Agreement, EveryStandardTextIsReadAsTheListReadsIt) {
    MoveTextRecogniser recogniser;
    Disagreements d;
    for (const Position& position : GamePositions(1)) CheckStandardTexts(recogniser, position, &d);
    for (const Position& position : OddPositions()) CheckStandardTexts(recogniser, position, &d);
    ExpectNone(d);
}

TEST(Agreement, EveryListedMoveIsReadAsTheListReadsIt) {
    MoveTextRecogniser recogniser;
    Disagreements d;
    // Every third position of the trees to the second ply, to keep the time
    // of the sanitizer builds within reason.
    const std::vector<Position>& tree = GamePositions(2);
    for (std::size_t i = 0; i < tree.size(); i += 3) CheckListedTexts(recogniser, tree[i], &d);
    for (const Position& position : OddPositions()) CheckListedTexts(recogniser, position, &d);
    ExpectNone(d);
}

// The fallbacks matter: on these boards the quick answers alone would differ
// from the list's.
TEST(Agreement, FullListsLoseTheSameMovesForTheQuickWays) {
    const auto boards = test::HostileBoards();
    const auto board = [&boards](const std::string& name) {
        for (const auto& b : boards)
            if (name == b.name) return b.ToPosition();
        ADD_FAILURE() << name;
        return Position{};
    };

    // White's list fills up within e8's moves: g8's are lost, b1's are not.
    const Position queens = board("WhiteQueensRoundTheEdge");
    MoveList list;
    EXPECT_EQ(list.GenerateFrom(queens, 62), 0);
    EXPECT_GT(list.GenerateFrom(queens, 1), 0);
    MoveTextRecogniser recogniser;
    MoveWord move = 0;
    EXPECT_EQ(recogniser.ParseMoveText("g8g7", queens, &move), kMoveTextNoMatch);
    EXPECT_EQ(recogniser.ParseMoveText("b1b2", queens, &move), kMoveTextOk);

    // The h8 queen attacks the king on h7, but Black's list never gets to
    // it; with four queens fewer on the first rank it does.
    Position beyond = board("KingBeyondAFullList");
    EXPECT_TRUE(KingSafeAfterMove(beyond, MakeMoveWord(0, 0)));
    for (int square = 2; square <= 5; ++square) beyond.squares[square] = 0;
    EXPECT_FALSE(KingSafeAfterMove(beyond, MakeMoveWord(0, 0)));
}

// Lines as engines write them and as no engine would: coordinate moves with
// and without letters and move numbers, standard notation, castling marks,
// moves that fit no piece, noise.
std::string RandomLine(const Position& start, test::RandomBoards& draw) {
    static const char* const kNoise[] = {"O-O", "0-0-0", "e8=Q", "exd5", "Nf3", "E2E4", "e2e4+", "1-0",
                                         "{book}", "12.", "e7e8k", "h1h8", "a2a1", "e1g1", "e8c8", "ed"};
    Position position = start;
    std::string line;
    for (int ply = 0; ply < 12; ++ply) {
        const unsigned r = draw.Draw();
        std::vector<MoveWord> legal;
        for (const MoveWord move : Listed(position))
            if (IsLegalMove(position, move)) legal.push_back(move);
        if (!line.empty()) line += r % 7 == 0 ? "\r\n" : " ";
        if (legal.empty() || r % 5 == 0) {
            line += r % 3 == 0 ? SquareName((r >> 4) % 64) + SquareName((r >> 10) % 64)
                               : std::string(kNoise[(r >> 4) % std::size(kNoise)]);
            continue;
        }
        const MoveWord move = legal[(r >> 4) % legal.size()];
        if (r % 11 == 0) line += std::to_string(ply / 2 + 1) + (position.sideToMove != 0 ? "..." : ".");
        std::string text = MoveName(move);
        if (r % 13 == 0) {
            char san[kSanTextSize];
            WriteSan(position, move, san);
            text = san;
        } else if (IsPromotion(move) && r % 3 == 0) {
            text = text.substr(0, 4) + (r % 2 == 0 ? "" : std::string(1, static_cast<char>(text[4] - 'a' + 'A')));
        }
        line += text;
        position.MakeMove(move);
    }
    return line;
}

TEST(Agreement, VariationsAreReadAsTheListReadsThem) {
    MoveTextRecogniser recogniser;
    test::RandomBoards draw(77);
    Disagreements d;
    const auto check = [&](const Position& position) {
        for (int round = 0; round < 4; ++round) {
            const std::string line = RandomLine(position, draw);
            const int capacity = 1 + static_cast<int>(draw.Draw() % 16);
            MoveWord quick[16] = {}, byList[16] = {};
            const int quickCount = recogniser.ParseVariation(line.c_str(), position, quick, capacity);
            const int listCount = recogniser.ParseVariationByList(line.c_str(), position, byList, capacity);
            const bool same = quickCount == listCount && std::equal(quick, quick + 16, byList);
            if (!same) d.Add(position, "\"" + line + "\"");
        }
    };
    for (const Position& position : GamePositions(1)) check(position);
    for (const Position& position : OddPositions()) check(position);
    ExpectNone(d);
}

}  // namespace
}  // namespace cecp
