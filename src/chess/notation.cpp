#include "chess/notation.h"

#include "chess/move_list.h"

namespace cecp {

namespace {

constexpr char kPieceLetters[] = "?PNBRQK?";  // by type
// As Position::MakeMove promotes: every code but a rook's, bishop's or
// knight's makes a queen.
constexpr char kPromotionLetters[] = "QQQQQRBN";  // by promotion code
constexpr char kCastlingLetters[] = "KQkq";       // by bit of the castling rights

static_assert(kWhiteShort == 1 && kWhiteLong == 2 && kBlackShort == 4 && kBlackLong == 8);
static_assert(kPromotionLetters[kPromoteQueen] == 'Q' && kPromotionLetters[kPromoteRook] == 'R' &&
              kPromotionLetters[kPromoteBishop] == 'B' && kPromotionLetters[kPromoteKnight] == 'N');

// Appends to a caller's buffer; the buffer sizes leave room for the longest
// text, so the bound only guards against a mistake.
class TextBuilder {
public:
    TextBuilder(char* buffer, int size) : text(buffer), capacity(size) { text[0] = 0; }

    void Put(char c) {
        if (length + 1 >= capacity) return;
        text[length++] = c;
        text[length] = 0;
    }
    void Put(const char* s) {
        while (*s != 0) Put(*s++);
    }
    void PutSquare(int square) {
        Put(FileLetter(square));
        Put(RankDigit(square));
    }
    void PutNumber(int value) {
        char digits[10];
        int count = 0;
        unsigned rest = value < 0 ? 0u : static_cast<unsigned>(value);
        do {
            digits[count++] = static_cast<char>('0' + rest % 10);
            rest /= 10;
        } while (rest != 0);
        while (count > 0) Put(digits[--count]);
    }
    int Length() const { return length; }

private:
    char* text;
    int capacity;
    int length = 0;
};

// Type 0 with a stray bit, and type 7, are no piece.
bool HoldsPiece(int code) { return TypeOf(code) != kNoPiece && TypeOf(code) != 7; }

// The king's move that Position::MakeMove plays as castling.
bool IsCastlingStep(int from, int to) {
    return (to - from == 2 || from - to == 2) && RankOf(from) == RankOf(to) && (FileOf(to) == 6 || FileOf(to) == 2);
}

// The least of the from square that tells the move from the other legal
// moves of a piece of its kind to the same square.
void PutDisambiguation(const Position& position, MoveWord move, TextBuilder* text) {
    const int from = MoveFrom(move), to = MoveTo(move);
    const int type = TypeOf(position.squares[from]);
    MoveList list;
    const int count = list.Generate(position);
    bool rival = false, sameFile = false, sameRank = false;
    for (int i = 0; i < count; ++i) {
        const MoveWord other = list.moves[i];
        const int otherFrom = MoveFrom(other);
        if (MoveTo(other) != to || otherFrom == from || TypeOf(position.squares[otherFrom]) != type ||
            !IsLegalMove(position, other))
            continue;
        rival = true;
        sameFile |= FileOf(otherFrom) == FileOf(from);
        sameRank |= RankOf(otherFrom) == RankOf(from);
    }
    if (!rival) return;
    if (!sameFile)
        text->Put(FileLetter(from));
    else if (!sameRank)
        text->Put(RankDigit(from));
    else
        text->PutSquare(from);
}

}  // namespace

int WriteSan(const Position& position, MoveWord move, char (&out)[kSanTextSize]) {
    TextBuilder text(out, kSanTextSize);
    const int from = MoveFrom(move), to = MoveTo(move);
    const int piece = position.squares[from];
    const int type = TypeOf(piece);
    if (IsNullMove(move) || !HoldsPiece(piece)) {
        text.PutSquare(from);
        text.PutSquare(to);
        return text.Length();
    }

    if (type == kKing && IsCastlingStep(from, to)) {
        text.Put(FileOf(to) == 6 ? "O-O" : "O-O-O");
    } else if (type == kPawn) {
        // A pawn moving to another file captures, even onto the empty
        // en-passant square.
        if (FileOf(from) != FileOf(to)) {
            text.Put(FileLetter(from));
            text.Put('x');
        }
        text.PutSquare(to);
        if (IsPromotion(move) || RankOf(to) == 0 || RankOf(to) == 7) {
            text.Put('=');
            text.Put(kPromotionLetters[MovePromotion(move)]);
        }
    } else {
        text.Put(kPieceLetters[type]);
        PutDisambiguation(position, move, &text);
        if (HoldsPiece(position.squares[to])) text.Put('x');
        text.PutSquare(to);
    }

    Position after = position;
    after.MakeMove(move);
    if (SideToMoveInCheck(after)) text.Put(HasNoLegalMove(after) ? '#' : '+');
    return text.Length();
}

int WriteFen(const Position& position, int halfMoveClock, int fullMoveNumber, char (&out)[kFenTextSize]) {
    TextBuilder text(out, kFenTextSize);
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const int code = position.squares[MakeSquare(file, rank)];
            if (!HoldsPiece(code)) {
                ++empty;
                continue;
            }
            if (empty > 0) text.Put(static_cast<char>('0' + empty));
            empty = 0;
            const char letter = kPieceLetters[TypeOf(code)];
            text.Put(IsBlack(code) ? static_cast<char>(letter - 'A' + 'a') : letter);
        }
        if (empty > 0) text.Put(static_cast<char>('0' + empty));
        if (rank > 0) text.Put('/');
    }
    text.Put(position.sideToMove != 0 ? " b " : " w ");

    Position placement = position;
    placement.CastlingFromPlacement();
    const int rights = position.castlingRights & placement.castlingRights;
    if (rights == 0) text.Put('-');
    for (int bit = 0; bit < 4; ++bit)
        if (rights & (1 << bit)) text.Put(kCastlingLetters[bit]);

    text.Put(' ');
    const int enPassant = EnPassantCaptureSquare(position);
    if (enPassant != 0)
        text.PutSquare(enPassant);
    else
        text.Put('-');

    text.Put(' ');
    text.PutNumber(halfMoveClock);
    text.Put(' ');
    text.PutNumber(fullMoveNumber < 1 ? 1 : fullMoveNumber);
    return text.Length();
}

}  // namespace cecp
