#include "chess/move_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>

#include "fen.h"
#include "perft.h"

namespace cecp {
namespace {

using test::FromFen;
using test::MoveName;

// The module holds its recogniser as a load-time constant, its list made on first use.
constinit MoveTextRecogniser loadTimeRecogniser;
constinit Position loadTimePosition;

constexpr const char* kStart = test::kStart;
// 1 e4 e5 2 Nc3 Nc6: the knights on c3 and g1 both reach e2.
constexpr const char* kTwoKnights = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/2N5/PPPP1PPP/R1BQKBNR w KQkq -";
// 1 e4 e5 2 Nf3 Nc6 3 Bc4 Bc5: White may castle short.
constexpr const char* kItalian = "r1bqk1nr/pppp1ppp/2n5/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq -";
constexpr const char* kPromotion = "3q3k/4P3/8/8/8/8/8/4K3 w - -";
constexpr const char* kPawnCapture = "4k3/8/8/3p4/4P3/8/8/4K3 w - -";
constexpr const char* kBlackCastles = "r3k2r/8/8/8/8/8/8/R3K2R b KQkq -";
constexpr const char* kPinnedEnPassant = "8/8/8/K2pP2r/8/8/8/7k w - d6";
constexpr int kOk = kMoveTextOk, kNoMatch = kMoveTextNoMatch, kAmbiguous = kMoveTextAmbiguous,
              kMalformed = kMoveTextMalformed;

struct TextCase {
    const char* fen;
    const char* text;
    int result;
    const char* move;  // expected on kMoveTextOk
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << '"' << c.text << "\" in " << c.fen; }

class MoveText : public testing::TestWithParam<TextCase> {};

TEST_P(MoveText, IsRecognisedAgainstTheLegalMovesTheSameWayAsByTheWholeList) {
    MoveTextRecogniser recogniser;
    const Position position = FromFen(GetParam().fen);
    constexpr MoveWord kUntouched = 0x7fff;
    MoveWord move = kUntouched, byList = kUntouched;
    EXPECT_EQ(recogniser.ParseMoveText(GetParam().text, position, &move), GetParam().result);
    if (GetParam().result == kOk)
        EXPECT_EQ(MoveName(move), GetParam().move);
    else
        EXPECT_EQ(move, kUntouched);
    EXPECT_EQ(recogniser.ParseMoveTextByList(GetParam().text, position, &byList), GetParam().result);
    EXPECT_EQ(byList, move);
}

INSTANTIATE_TEST_SUITE_P(
    Standard, MoveText,
    testing::Values(
        TextCase{kStart, "e4", kOk, "e2e4"}, TextCase{kStart, "Pe4", kOk, "e2e4"},
        TextCase{kStart, "Nf3", kOk, "g1f3"}, TextCase{kStart, "Ng1f3", kOk, "g1f3"},
        TextCase{kStart, "e2-e4!?", kOk, "e2e4"},
        TextCase{kStart, "nf3", kOk, "f2f3"},  // lower-case letters are no pieces
        TextCase{kStart, "e5", kNoMatch, ""}, TextCase{kStart, "Xe4", kNoMatch, ""},
        TextCase{kStart, "O-O", kNoMatch, ""}, TextCase{kStart, "e1e2", kNoMatch, ""},
        TextCase{kStart, "e3e4", kMoveTextNoPiece, ""}, TextCase{kStart, "e", kMalformed, ""},
        TextCase{kStart, "", kMalformed, ""}, TextCase{kStart, "Nf", kMalformed, ""},
        TextCase{kTwoKnights, "Ne2", kAmbiguous, ""},
        TextCase{kTwoKnights, "Nge2", kOk, "g1e2"}, TextCase{kTwoKnights, "N1e2", kOk, "g1e2"},
        TextCase{kTwoKnights, "Nce2", kOk, "c3e2"}, TextCase{kTwoKnights, "Qe2", kOk, "d1e2"},
        // Castling marks, out of check only.
        TextCase{kItalian, "O-O", kOk, "e1g1"}, TextCase{kItalian, "0-0", kOk, "e1g1"},
        TextCase{kItalian, "o-o", kOk, "e1g1"}, TextCase{kItalian, "O-O+", kOk, "e1g1"},
        TextCase{kItalian, "Kg1", kOk, "e1g1"}, TextCase{kItalian, "OO", kOk, "e1g1"},
        TextCase{kItalian, "O-O-O", kNoMatch, ""}, TextCase{kBlackCastles, "O-O", kOk, "e8g8"},
        TextCase{kBlackCastles, "0-0-0", kOk, "e8c8"},
        TextCase{"4r2k/8/8/8/8/8/8/R3K2R w KQ -", "O-O", kNoMatch, ""},
        // Promotions: a queen without a letter.
        TextCase{kPromotion, "e8", kOk, "e7e8q"}, TextCase{kPromotion, "e8Q", kOk, "e7e8q"},
        TextCase{kPromotion, "e8=N", kOk, "e7e8n"}, TextCase{kPromotion, "exd8N", kOk, "e7d8n"},
        TextCase{kPromotion, "exd8=R+", kOk, "e7d8r"}, TextCase{kPromotion, "d8", kOk, "e7d8q"},
        // The short form takes the last fitting move of the list as it stands.
        TextCase{kPromotion, "ed", kOk, "e7d8n"},
        // After a complete from square a lower-case b is the bishop, else a file.
        TextCase{kPromotion, "e7-e8=b", kOk, "e7e8b"}, TextCase{kPromotion, "e8b", kNoMatch, ""},
        TextCase{"7k/8/8/8/8/8/3p4/K7 b - -", "d1=N", kOk, "d2d1n"},
        TextCase{kPawnCapture, "ed", kOk, "e4d5"}, TextCase{kPawnCapture, "exd", kOk, "e4d5"},
        TextCase{kPawnCapture, "exd5", kOk, "e4d5"}, TextCase{kPawnCapture, "ed5", kOk, "e4d5"},
        TextCase{kPawnCapture, "xd5", kOk, "e4d5"}, TextCase{kPawnCapture, "ef", kNoMatch, ""},
        TextCase{kPawnCapture, "Ked", kMalformed, ""},
        TextCase{"4k3/8/8/3pP3/8/8/8/4K3 w - d6", "exd6", kOk, "e5d6"},
        // Two pawns take on d5: the second ends the first pass as ambiguous.
        TextCase{"4k3/8/8/3p4/2P1P3/8/8/4K3 w - -", "xd5", kAmbiguous, ""},
        TextCase{"4k3/8/8/3p4/2P1P3/8/8/4K3 w - -", "cxd5", kOk, "c4d5"},
        // A pinned knight's move does not count, so Ne2 is not ambiguous.
        TextCase{"4k3/8/8/b7/8/2N5/8/4K1N1 w - -", "Ne2", kOk, "g1e2"},
        TextCase{"4k3/4r3/8/8/8/8/4B3/4K3 w - -", "Bd3", kNoMatch, ""},
        TextCase{kPinnedEnPassant, "exd6", kNoMatch, ""}));

// Coordinate text alone, as UCI engines write every move: read from the from
// square's moves.
INSTANTIATE_TEST_SUITE_P(
    Coordinate, MoveText,
    testing::Values(
        // The piece on the from square is the other side's, or no piece.
        TextCase{kStart, "e2e4", kOk, "e2e4"}, TextCase{kStart, "e7e5", kNoMatch, ""},
        TextCase{kStart, "e4e5", kMoveTextNoPiece, ""}, TextCase{kStart, "e2e2", kNoMatch, ""},
        TextCase{kStart, "a1a3", kNoMatch, ""},
        // A letter that a move which promotes nothing does not need is ignored.
        TextCase{kStart, "e2e4q", kOk, "e2e4"}, TextCase{kStart, "g1f3N", kOk, "g1f3"},
        // Without a letter a promotion queens; the letter in either case chooses.
        TextCase{kPromotion, "e7e8", kOk, "e7e8q"}, TextCase{kPromotion, "e7e8q", kOk, "e7e8q"},
        TextCase{kPromotion, "e7d8Q", kOk, "e7d8q"}, TextCase{kPromotion, "e7e8b", kOk, "e7e8b"},
        TextCase{kPromotion, "e7e8r", kOk, "e7e8r"}, TextCase{kPromotion, "e7e8N", kOk, "e7e8n"},
        TextCase{kPromotion, "e7f8", kNoMatch, ""}, TextCase{kPromotion, "e7e8K", kOk, "e7e8q"},
        TextCase{"7k/8/8/8/8/8/3p4/K7 b - -", "d2d1r", kOk, "d2d1r"},
        // Castling as the king's two-file move; a king away from home moves one square.
        TextCase{kItalian, "e1g1", kOk, "e1g1"}, TextCase{kBlackCastles, "e8c8", kOk, "e8c8"},
        TextCase{kItalian, "e1c1", kNoMatch, ""}, TextCase{"7k/8/8/8/3K4/8/8/8 w - -", "d4f4", kNoMatch, ""},
        // Pins, en passant and a king walking into check.
        TextCase{"4k3/4r3/8/8/8/8/4B3/4K3 w - -", "e2d3", kNoMatch, ""},
        TextCase{"4k3/8/8/3pP3/8/8/8/4K3 w - d6", "e5d6", kOk, "e5d6"},
        TextCase{kPinnedEnPassant, "e5d6", kNoMatch, ""},
        TextCase{"4k3/8/8/8/8/8/3r4/4K3 w - -", "e1e2", kNoMatch, ""},
        TextCase{"4k3/8/8/8/8/8/3r4/4K3 w - -", "e1d2", kOk, "e1d2"}));

// Bytes that no piece code uses, on the from square of a coordinate move.
TEST(MoveText, CoordinateTextFromAStrayByteHoldsNoPieceOrTheTypeOfItsLowBits) {
    struct Stray {
        int code;
        int result;
    };
    for (const Stray stray : {Stray{7, kMoveTextNoPiece}, Stray{15, kMoveTextNoPiece}, Stray{8, kMoveTextNoPiece},
                              Stray{0x80, kMoveTextNoPiece}, Stray{0x11, kOk}, Stray{0x19, kNoMatch}}) {
        Position position = FromFen(kStart);
        position.squares[12] = static_cast<std::uint8_t>(stray.code);  // e2
        MoveTextRecogniser recogniser;
        MoveWord move = 0, byList = 0;
        EXPECT_EQ(recogniser.ParseMoveText("e2e4", position, &move), stray.result) << stray.code;
        EXPECT_EQ(recogniser.ParseMoveTextByList("e2e4", position, &byList), stray.result) << stray.code;
        EXPECT_EQ(move, byList) << stray.code;
    }
}

TEST(MoveText, CreatesItsListOnceAndKeepsWorkingAfterAFullList) {
    MoveWord move = 0;
    // 28 queens round the edge: 288 pseudo-legal moves.
    loadTimeRecogniser.ParseMoveText("Qa2", FromFen("QQQQQQQQ/Q6Q/Q6Q/Q6Q/Q6Q/Q6Q/Q6Q/QQQQQQQQ w - -"), &move);
    EXPECT_EQ(loadTimeRecogniser.ParseMoveText("h3", FromFen(kStart), &move), kOk);
    EXPECT_EQ(MoveName(move), "h2h3");
    EXPECT_EQ(loadTimeRecogniser.ParseMoveText("e4", loadTimePosition, &move), kNoMatch);
}

struct VariationCase {
    const char* fen;
    const char* text;
    const char* moves;
};

void PrintTo(const VariationCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class Variation : public testing::TestWithParam<VariationCase> {};

TEST_P(Variation, GivesTheMovesOfTheLineUpToTheFirstAmbiguity) {
    MoveTextRecogniser recogniser;
    const Position position = FromFen(GetParam().fen);
    const Position before = position;
    MoveWord moves[128];
    const int count = recogniser.ParseVariation(GetParam().text, position, moves, 128);
    std::string names;
    for (int i = 0; i < count; ++i) names += (i > 0 ? " " : "") + MoveName(moves[i]);
    EXPECT_EQ(names, GetParam().moves);
    EXPECT_EQ(std::memcmp(position.squares, before.squares, kSquareCount), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Variation,
    testing::Values(
        VariationCase{kStart, "1. e4 e5 2. Nf3 Nc6 3. Bb5 a6", "e2e4 e7e5 g1f3 b8c6 f1b5 a7a6"},
        VariationCase{kStart, "1.e2e4 1...e7e5 2.g1f3 e2e4 b8c6", "e2e4 e7e5 g1f3 b8c6"},
        // Coordinate tokens with anything more are read the long way: a check
        // sign, upper-case files, a letter that is no promotion.
        VariationCase{kStart, "e2e4+ E7E5 e7e5k g1f3", "e2e4 e7e5 g1f3"},
        VariationCase{kStart, "  e4\r\n e5  ", "e2e4 e7e5"},
        VariationCase{kStart, "e4 e5 Nc3 Nc6 Ne2 Nf3", "e2e4 e7e5 b1c3 b8c6"},  // Ne2: either knight
        VariationCase{kStart, "e4 e4 e5", "e2e4 e7e5"},  // the second e4 fits no Black move
        VariationCase{kStart, "e4 e5 {book} (Nf3) 1-0 +- e4. Nf3", "e2e4 e7e5 g1f3"},
        VariationCase{kStart, "1...e5", ""}, VariationCase{kStart, "", ""},
        // A tab does not separate: "e4<tab>e5" is coordinate text from the empty e4.
        VariationCase{kStart, "e4\te5 Nf3", "g1f3"},
        VariationCase{kItalian, "O-O Nf6 d3 0-0", "e1g1 g8f6 d2d3 e8g8"},
        VariationCase{kItalian, "OO Nf6", ""},  // OO is not tried; Nf6 is no White move
        VariationCase{kPawnCapture, "ed", "e4d5"}, VariationCase{kPawnCapture, "exd", ""},
        VariationCase{kPromotion, "e8=N Kh7 Nd6", "e7e8n h8h7 e8d6"},
        VariationCase{kPromotion, "e7e8 h8g7 e8e5", "e7e8q h8g7 e8e5"},
        VariationCase{kPromotion, "e7e8N h8h7 e8d6", "e7e8n h8h7 e8d6"},
        VariationCase{kItalian, "e1g1 g8f6 d2d3 e8g8 g1h1", "e1g1 g8f6 d2d3 e8g8 g1h1"}));

TEST(Variation, NeverWritesPastTheCapacity) {
    MoveTextRecogniser recogniser;
    const Position start = FromFen(kStart);
    MoveWord moves[4] = {0, 0, 0, 0};
    EXPECT_EQ(recogniser.ParseVariation("e4 e5 Nf3 Nc6", start, moves, 1), 1);
    EXPECT_EQ(MoveName(moves[0]), "e2e4");
    EXPECT_EQ(moves[1], 0);
    EXPECT_EQ(recogniser.ParseVariation("e4 e5", start, moves + 1, 0), 0);
    EXPECT_EQ(moves[1], 0);
    EXPECT_EQ(recogniser.ParseVariation("e4 e5", start, nullptr, 8), 0);
    EXPECT_EQ(recogniser.ParseVariation(nullptr, start, moves, 4), 0);
}

TEST(Variation, SkipsTokensLongerThan127CharactersWhole) {
    MoveTextRecogniser recogniser;
    const Position start = FromFen(kStart);
    MoveWord moves[4];
    // Cut to 127 characters this would read as e2e4, and d4 would then fit no Black move.
    const std::string longToken = "e2e4" + std::string(124, 'x');
    ASSERT_EQ(recogniser.ParseVariation((longToken + " d4").c_str(), start, moves, 4), 1);
    EXPECT_EQ(MoveName(moves[0]), "d2d4");
    const std::string longest = "e2e4" + std::string(123, 'x');
    ASSERT_EQ(recogniser.ParseVariation((longest + " d5").c_str(), start, moves, 4), 2);
    EXPECT_EQ(MoveName(moves[0]) + " " + MoveName(moves[1]), "e2e4 d7d5");
}

}  // namespace
}  // namespace cecp
