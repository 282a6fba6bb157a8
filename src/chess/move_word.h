// Squares, piece codes and the 16-bit move word.
//
// These encodings are shared with the host: its search request holds the
// board as piece-code bytes and the moves played as move words, and the main
// line written into its info block uses the same words. Nobody else shifts
// these bits by hand.
#pragma once

#include <cstdint>

namespace cecp {

// Square numbers: a1 = 0, b1 = 1, ..., h1 = 7, a2 = 8, ..., h8 = 63.
constexpr int kSquareCount = 64;

constexpr int FileOf(int square) { return square & 7; }
constexpr int RankOf(int square) { return (square >> 3) & 7; }
constexpr int MakeSquare(int file, int rank) { return rank * 8 + file; }
constexpr bool IsSquare(int square) { return square >= 0 && square < kSquareCount; }

// Piece codes, one byte per square: the low three bits are the type, the bit
// of value 8 marks a Black piece. Type 7 never describes a real piece.
using PieceCode = std::uint8_t;

enum PieceType : int {
    kNoPiece = 0,
    kPawn = 1,
    kKnight = 2,
    kBishop = 3,
    kRook = 4,
    kQueen = 5,
    kKing = 6,
};

constexpr int kBlackBit = 8;

constexpr int TypeOf(int code) { return code & 7; }
constexpr int ColourOf(int code) { return code & kBlackBit; }
constexpr bool IsBlack(int code) { return (code & kBlackBit) != 0; }
constexpr PieceCode MakePiece(int type, bool black) {
    return static_cast<PieceCode>(type | (black ? kBlackBit : 0));
}

constexpr PieceCode kWhitePawn = 1, kWhiteKnight = 2, kWhiteBishop = 3, kWhiteRook = 4,
                    kWhiteQueen = 5, kWhiteKing = 6;
constexpr PieceCode kBlackPawn = 9, kBlackKnight = 10, kBlackBishop = 11, kBlackRook = 12,
                    kBlackQueen = 13, kBlackKing = 14;

// Castling rights bits.
constexpr int kWhiteShort = 1, kWhiteLong = 2, kBlackShort = 4, kBlackLong = 8;
constexpr int kAllCastling = 15;

// The move word: from square in bits 0 to 5, to square in bits 6 to 11,
// promotion code in bits 12 to 14, bit 15 always clear. A word whose from and
// to squares are equal is a null move; castling is the king's two-file move.
using MoveWord = std::uint16_t;

enum PromotionCode : int {
    kNoPromotion = 0,
    kPromoteQueen = 4,
    kPromoteRook = 5,
    kPromoteBishop = 6,
    kPromoteKnight = 7,
};

constexpr int MoveFrom(MoveWord move) { return move & 63; }
constexpr int MoveTo(MoveWord move) { return (move >> 6) & 63; }
constexpr int MovePromotion(MoveWord move) { return (move >> 12) & 7; }
constexpr bool IsPromotion(MoveWord move) { return move > 4095; }
constexpr bool IsNullMove(MoveWord move) { return MoveFrom(move) == MoveTo(move); }
constexpr MoveWord MakeMoveWord(int from, int to, int promotion = kNoPromotion) {
    return static_cast<MoveWord>((from & 63) | ((to & 63) << 6) | ((promotion & 7) << 12));
}

// Coordinate text of a promotion: "qrbn"[code & 3] (q for 4, r 5, b 6, n 7).
constexpr char PromotionLetter(int code) { return "qrbn"[code & 3]; }

constexpr char FileLetter(int square) { return static_cast<char>('a' + FileOf(square)); }
constexpr char RankDigit(int square) { return static_cast<char>('1' + RankOf(square)); }

static_assert(sizeof(MoveWord) == 2);
static_assert(MakeMoveWord(12, 28) == 12 + 28 * 64);
static_assert(MoveFrom(MakeMoveWord(52, 60, kPromoteKnight)) == 52);
static_assert(MoveTo(MakeMoveWord(52, 60, kPromoteKnight)) == 60);
static_assert(MovePromotion(MakeMoveWord(52, 60, kPromoteKnight)) == kPromoteKnight);
static_assert(IsPromotion(MakeMoveWord(52, 60, kPromoteQueen)) && !IsPromotion(MakeMoveWord(52, 60)));
static_assert(PromotionLetter(kPromoteQueen) == 'q' && PromotionLetter(kPromoteKnight) == 'n');
static_assert(TypeOf(kBlackKing) == kKing && IsBlack(kBlackKing) && !IsBlack(kWhiteKing));

}  // namespace cecp
