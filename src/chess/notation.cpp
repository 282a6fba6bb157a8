#include "chess/notation.h"

#include <cstdarg>
#include <cstdio>

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

// A blank-separated field of a FEN.
struct FenField {
    const char* text = "";
    int length = 0;

    bool Is(const char* word) const {
        int i = 0;
        while (i < length && word[i] == text[i]) ++i;
        return i == length && word[i] == 0;
    }
};

constexpr int kFenFields = 6;

// Writes why a text is not FEN; false, for the reader to return.
[[gnu::format(printf, 2, 3)]] bool Refuse(char (&problem)[kFenProblemSize], const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(problem, kFenProblemSize, format, arguments);
    va_end(arguments);
    return false;
}

bool IsFenBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Splits text into fields; returns their number, at most kFenFields + 1 (too many).
int SplitFen(const char* text, FenField (&fields)[kFenFields + 1]) {
    int count = 0;
    for (const char* at = text; count <= kFenFields; ++count) {
        while (IsFenBlank(*at)) ++at;
        if (*at == 0) break;
        fields[count].text = at;
        while (*at != 0 && !IsFenBlank(*at)) ++at;
        fields[count].length = static_cast<int>(at - fields[count].text);
    }
    return count;
}

// The eight ranks, eighth first; false with the reason in problem.
bool ReadPlacement(const FenField& field, std::uint8_t (&board)[kSquareCount], char (&problem)[kFenProblemSize]) {
    constexpr char kTypeLetters[] = " pnbrqk";  // by type
    int rank = 7, file = 0;
    for (int i = 0; i < field.length; ++i) {
        const char c = field.text[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        int type = kNoPiece;
        for (int t = kPawn; t <= kKing; ++t)
            if (kTypeLetters[t] == lower) type = t;
        if (c == '/') {
            if (file != 8) return Refuse(problem, "rank %d does not have 8 squares", rank + 1);
            if (--rank < 0) return Refuse(problem, "more than 8 ranks");
            file = 0;
        } else if (c >= '1' && c <= '8') {
            file += c - '0';
        } else if (type == kNoPiece) {
            return Refuse(problem, "'%c' is not a piece letter", c);
        } else if (file < 8) {
            board[MakeSquare(file++, rank)] = MakePiece(type, c == lower);
        } else {
            ++file;
        }
        if (file > 8) return Refuse(problem, "rank %d has more than 8 squares", rank + 1);
    }
    if (rank == 0 && file == 8) return true;
    return Refuse(problem, "the placement does not describe 8 ranks of 8 squares");
}

// - or letters of KQkq, each once, as castling-rights bits.
bool ReadCastling(const FenField& field, int* rights, char (&problem)[kFenProblemSize]) {
    *rights = 0;
    if (field.Is("-")) return true;
    for (int i = 0; i < field.length; ++i) {
        int bit = 0;
        for (int index = 0; index < 4; ++index)
            if (kCastlingLetters[index] == field.text[i]) bit = 1 << index;
        if (bit == 0) return Refuse(problem, "castling rights are - or letters of KQkq");
        if (*rights & bit) return Refuse(problem, "castling right %c given twice", field.text[i]);
        *rights |= bit;
    }
    return true;
}

// A counter of up to six digits, at least minimum.
bool ReadCounter(const FenField& field, int minimum, int* value) {
    if (field.length == 0 || field.length > 6) return false;
    *value = 0;
    for (int i = 0; i < field.length; ++i) {
        if (field.text[i] < '0' || field.text[i] > '9') return false;
        *value = *value * 10 + (field.text[i] - '0');
    }
    return *value >= minimum;
}

}  // namespace

bool ReadFen(const char* text, Position* out, int* halfMoveClock, int* fullMoveNumber,
             char (&problem)[kFenProblemSize]) {
    problem[0] = 0;
    FenField fields[kFenFields + 1];
    const int count = SplitFen(text, fields);
    if (count != 4 && count != kFenFields)
        return Refuse(problem, "it needs 6 fields (placement, side, castling, en passant, half-move clock, move "
                               "number) or the first 4");
    std::uint8_t board[kSquareCount] = {};
    int castling = 0;
    if (!ReadPlacement(fields[0], board, problem)) return false;
    if (!fields[1].Is("w") && !fields[1].Is("b")) return Refuse(problem, "the side to move must be w or b");
    if (!ReadCastling(fields[2], &castling, problem)) return false;
    const FenField& ep = fields[3];
    const bool epSquare =
        ep.length == 2 && ep.text[0] >= 'a' && ep.text[0] <= 'h' && ep.text[1] >= '1' && ep.text[1] <= '8';
    if (!ep.Is("-") && !epSquare) return Refuse(problem, "the en-passant square must be - or a square such as e3");
    *halfMoveClock = 0;
    *fullMoveNumber = 1;
    if (count == kFenFields && !ReadCounter(fields[4], 0, halfMoveClock))
        return Refuse(problem, "the half-move clock must be a number");
    if (count == kFenFields && !ReadCounter(fields[5], 1, fullMoveNumber))
        return Refuse(problem, "the move number must be a number from 1");
    out->SetFromBoard(board, fields[1].Is("b") ? 1 : 0, castling,
                      epSquare ? MakeSquare(ep.text[0] - 'a', ep.text[1] - '1') : 0);
    return true;
}

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
