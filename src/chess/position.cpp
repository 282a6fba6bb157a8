#include "chess/position.h"

#include <cstring>

namespace cecp {

namespace {

// ANDed into the castling rights for the from and the to square of every
// move: a king or rook leaving home, or a rook captured at home, loses its
// rights for good.
constexpr std::uint8_t kCastleMask[kSquareCount] = {
    13, 15, 15, 15, 12, 15, 15, 14,  // rank 1: a1, e1, h1
    15, 15, 15, 15, 15, 15, 15, 15,  //
    15, 15, 15, 15, 15, 15, 15, 15,  //
    15, 15, 15, 15, 15, 15, 15, 15,  //
    15, 15, 15, 15, 15, 15, 15, 15,  //
    15, 15, 15, 15, 15, 15, 15, 15,  //
    15, 15, 15, 15, 15, 15, 15, 15,  //
    7,  15, 15, 15, 3,  15, 15, 11,  // rank 8: a8, e8, h8
};

constexpr std::uint8_t kStartSquares[kSquareCount] = {
    kWhiteRook, kWhiteKnight, kWhiteBishop, kWhiteQueen, kWhiteKing, kWhiteBishop, kWhiteKnight, kWhiteRook,
    kWhitePawn, kWhitePawn,   kWhitePawn,   kWhitePawn,  kWhitePawn, kWhitePawn,   kWhitePawn,   kWhitePawn,
    0,          0,            0,            0,           0,          0,            0,            0,
    0,          0,            0,            0,           0,          0,            0,            0,
    0,          0,            0,            0,           0,          0,            0,            0,
    0,          0,            0,            0,           0,          0,            0,            0,
    kBlackPawn, kBlackPawn,   kBlackPawn,   kBlackPawn,  kBlackPawn, kBlackPawn,   kBlackPawn,   kBlackPawn,
    kBlackRook, kBlackKnight, kBlackBishop, kBlackQueen, kBlackKing, kBlackBishop, kBlackKnight, kBlackRook,
};

int PromotedType(int code) {
    switch (code) {
    case kPromoteRook: return kRook;
    case kPromoteBishop: return kBishop;
    case kPromoteKnight: return kKnight;
    default: return kQueen;  // a pawn reaching the last rank without a code queens
    }
}

}  // namespace

void Position::SetStartPosition() {
    std::memcpy(squares, kStartSquares, sizeof squares);
    sideToMove = 0;
    castlingRights = kAllCastling;
    epSquare = 0;
    whiteKingSquare = 4;
    blackKingSquare = 60;
}

void Position::SetFromBoard(const std::uint8_t* board, int side, int castling, int ep) {
    std::memcpy(squares, board, sizeof squares);
    sideToMove = side;
    castlingRights = castling;
    epSquare = ep;
    FindKings();
}

void Position::FindKings() {
    for (int square = 0; square < kSquareCount; ++square) {
        const int code = squares[square];
        if (TypeOf(code) != kKing) continue;
        if (IsBlack(code))
            blackKingSquare = square;
        else
            whiteKingSquare = square;
    }
}

void Position::CastlingFromPlacement() {
    int rights = 0;
    if (squares[4] == kWhiteKing) {
        if (squares[7] == kWhiteRook) rights |= kWhiteShort;
        if (squares[0] == kWhiteRook) rights |= kWhiteLong;
    }
    if (squares[60] == kBlackKing) {
        if (squares[63] == kBlackRook) rights |= kBlackShort;
        if (squares[56] == kBlackRook) rights |= kBlackLong;
    }
    castlingRights = rights;
}

void Position::MakeMove(MoveWord move) {
    const int from = MoveFrom(move);
    const int to = MoveTo(move);
    epSquare = 0;
    if (from != to) {
        const int captured = squares[to];
        const int piece = squares[from];
        squares[to] = static_cast<std::uint8_t>(piece);
        squares[from] = 0;

        if (TypeOf(piece) == kPawn) {
            const int step = to - from;
            if (step == 16 || step == -16) {
                epSquare = from + step / 2;
            } else if (captured == 0 && FileOf(from) != FileOf(to)) {
                // En passant: the captured pawn stands beside the from square.
                squares[MakeSquare(FileOf(to), RankOf(from))] = 0;
            } else if (RankOf(to) == 0 || RankOf(to) == 7) {
                squares[to] = MakePiece(PromotedType(MovePromotion(move)), IsBlack(piece));
            }
        } else if (TypeOf(piece) == kKing) {
            // Castling is the king's two-file move along its rank onto the c-
            // or g-file; only then do the rook squares lie on the board. Any
            // other two-square king move (never generated) moves the king alone.
            const bool castling = (to - from == 2 || from - to == 2) && RankOf(from) == RankOf(to) &&
                                  (FileOf(to) == 6 || FileOf(to) == 2);
            if (castling) {
                const int rookFrom = FileOf(to) == 6 ? to + 1 : to - 2;
                const int rookTo = FileOf(to) == 6 ? to - 1 : to + 1;
                squares[rookTo] = squares[rookFrom];
                squares[rookFrom] = 0;
            }
            if (IsBlack(squares[to]))
                blackKingSquare = to;
            else
                whiteKingSquare = to;
        }
        castlingRights = castlingRights & kCastleMask[from] & kCastleMask[to];
    }
    // Any side other than 0 counts as Black, as in the move generator; 1 - side
    // would keep a stray value such as 5 on Black's side (and overflow at INT_MIN).
    sideToMove = sideToMove == 0 ? 1 : 0;
}

}  // namespace cecp
