#include "chess/move_text.h"

#include <cstring>
#include <new>

namespace cecp {

namespace {

constexpr char kPieceLetters[] = "PNBRQK";       // by type - 1
constexpr char kPromotionLetters[] = "QRBN";     // by promotion code - 4
constexpr int kTokenCapacity = 127;              // characters, without the NUL

// What one scan of a move text found: the last file and rank named are the
// target, the ones named before them the from square.
struct MoveScan {
    int toFile = 0, toRank = 0, fromFile = 0, fromRank = 0;
    bool fileSeen = false, secondFileSeen = false, rankSeen = false, secondRankSeen = false;
    char pieceLetter = 0;      // 0: none
    char promotionLetter = 0;  // 0 equals no letter of kPromotionLetters
    int castlingMarks = 0;

    bool ShortPawnCapture() const { return secondFileSeen && !rankSeen && pieceLetter == 0; }
    bool FromSquareComplete() const { return secondFileSeen && secondRankSeen; }
};

bool IsFileLetter(char c) { return c >= 'a' && c <= 'h'; }
bool IsRankDigit(char c) { return c >= '1' && c <= '8'; }
bool IsCastlingMark(char c) { return c == '0' || c == 'O' || c == 'o'; }

MoveScan ScanMoveText(const char* text) {
    MoveScan scan;
    for (const char* p = text; *p != 0; ++p) {
        const char c = *p;
        // Engines write their own promotions as e7e8q, and the adapter sends
        // them that way: after a complete from square and target a lower-case
        // piece letter is the promotion ("b" included, which would otherwise
        // be read as a file).
        if (scan.FromSquareComplete() && (c == 'q' || c == 'r' || c == 'b' || c == 'n')) {
            scan.promotionLetter = static_cast<char>(c - 'a' + 'A');
        } else if (IsFileLetter(c)) {
            scan.fromFile = scan.toFile;
            scan.toFile = c - 'a';
            (scan.fileSeen ? scan.secondFileSeen : scan.fileSeen) = true;
        } else if (IsRankDigit(c)) {
            scan.fromRank = scan.toRank;
            scan.toRank = c - '1';
            (scan.rankSeen ? scan.secondRankSeen : scan.rankSeen) = true;
        } else if (IsCastlingMark(c)) {
            ++scan.castlingMarks;
        } else if (c >= 'A' && c <= 'Z') {
            if (scan.fileSeen && scan.rankSeen)
                scan.promotionLetter = c;
            else if (scan.pieceLetter == 0)
                scan.pieceLetter = c;
        }
        // Everything else ('x', '-', '=', '+', '#', '!', '?', blanks, other
        // lower-case letters) carries nothing.
    }
    return scan;
}

// The piece type a letter stands for in the first pass: N, B, R, Q or K.
int PieceTypeOfLetter(char letter) {
    for (int type = kKnight; type <= kKing; ++type)
        if (kPieceLetters[type - 1] == letter) return type;
    return kNoPiece;
}

// The candidates of one pass, in list order: the first is found; a later one
// that is not a promotion makes the text ambiguous, a later promotion replaces
// the found move when its letter is the one that the text named.
class CandidateChoice {
public:
    explicit CandidateChoice(char promotionLetter) : promotionLetter(promotionLetter) {}

    // False when the text is ambiguous.
    bool Offer(MoveWord move) {
        if (!found) {
            found = true;
            choice = move;
        } else if (!IsPromotion(move)) {
            return false;
        } else if (kPromotionLetters[MovePromotion(move) - kPromoteQueen] == promotionLetter) {
            choice = move;
        }
        return true;
    }

    bool found = false;
    MoveWord choice = 0;

private:
    char promotionLetter;
};

// Everything but a token's move: its move number ("12." or "12...").
const char* AfterLastDot(const char* token) {
    const char* dot = std::strrchr(token, '.');
    return dot != nullptr ? dot + 1 : token;
}

// Whether a token looks enough like a move to be handed to ParseMoveText.
bool LooksLikeMove(const char* token, int length) {
    if (length == 2 && IsFileLetter(token[0]) && IsFileLetter(token[1])) return true;
    for (int i = 0; i + 1 < length; ++i)
        if (IsFileLetter(token[i]) && IsRankDigit(token[i + 1])) return true;
    for (int i = 0; i + 2 < length; ++i)
        if (IsCastlingMark(token[i]) && token[i + 2] == token[i]) return true;
    return false;
}

bool IsSeparator(char c) { return c == ' ' || c == '\n' || c == '\r'; }

// q, r, b or n in either case: clearing the bit of value 32 makes a lower-case
// letter upper case and leaves no other character on these four.
char UpperCase(char c) { return static_cast<char>(c & ~0x20); }
bool IsPromotionLetter(char c) {
    const char upper = UpperCase(c);
    return upper == 'Q' || upper == 'R' || upper == 'B' || upper == 'N';
}

// The whole text is a coordinate move: from square, target and at most a
// promotion letter, as UCI engines write every move of their main lines.
bool IsCoordinateMove(const char* text, std::size_t length) {
    return (length == 4 || (length == 5 && IsPromotionLetter(text[4]))) && IsFileLetter(text[0]) &&
           IsRankDigit(text[1]) && IsFileLetter(text[2]) && IsRankDigit(text[3]);
}

// The length of a text that is no longer than six characters, else six.
std::size_t ShortLength(const char* text) {
    std::size_t length = 0;
    while (length < 6 && text[length] != 0) ++length;
    return length;
}

}  // namespace

bool MoveTextRecogniser::HasList() {
    if (list == nullptr) list = new (std::nothrow) MoveList;
    return list != nullptr;
}

int MoveTextRecogniser::ParseMoveText(const char* text, const Position& position, MoveWord* move) {
    const std::size_t length = text != nullptr ? ShortLength(text) : 0;
    if (IsCoordinateMove(text, length)) return ParseCoordinateMove(text, length, position, move);
    return ReadMoveText(text, position, move, false);
}

// What ParseMoveTextByList makes of a coordinate move, from the moves of its
// from square alone. Reading against the list, the piece on the from square
// names the piece (a pawn names none), and either pass then offers, in list
// order, the legal moves from that square to the target: exactly the moves
// that GenerateFrom lists there. The promotion letter, in either case, chooses
// among a pawn's four moves to its last rank; without one the queen is chosen.
int MoveTextRecogniser::ParseCoordinateMove(const char* text, std::size_t length, const Position& position,
                                            MoveWord* move) {
    const int from = MakeSquare(text[0] - 'a', text[1] - '1');
    const int to = MakeSquare(text[2] - 'a', text[3] - '1');
    const int type = TypeOf(position.squares[from]);
    if (type == kNoPiece || type == 7) return kMoveTextNoPiece;
    if (!HasList()) return kMoveTextNoPiece;
    const char letter = length == 5 ? UpperCase(text[4]) : 0;

    const int count = list->GenerateFrom(position, from);
    CandidateChoice choice(letter);
    for (int i = 0; i < count; ++i) {
        const MoveWord m = list->moves[i];
        if (MoveTo(m) != to || !IsLegalMove(position, m)) continue;
        if (!choice.Offer(m)) return kMoveTextAmbiguous;
    }
    if (!choice.found) return kMoveTextNoMatch;
    *move = choice.choice;
    return kMoveTextOk;
}

int MoveTextRecogniser::ParseMoveTextByList(const char* text, const Position& position, MoveWord* move) {
    return ReadMoveText(text, position, move, true);
}

int MoveTextRecogniser::ReadMoveText(const char* text, const Position& position, MoveWord* move, bool byList) {
    if (text == nullptr || text[0] == 0 || text[1] == 0) return kMoveTextMalformed;
    MoveScan scan = ScanMoveText(text);

    if (!(scan.fileSeen && scan.rankSeen) && scan.castlingMarks < 2 && !scan.ShortPawnCapture())
        return kMoveTextMalformed;

    if (scan.castlingMarks >= 2) {
        const int homeRank = position.sideToMove != 0 ? 7 : 0;
        scan.fromFile = 4;
        scan.fromRank = homeRank;
        scan.fileSeen = scan.secondFileSeen = scan.rankSeen = scan.secondRankSeen = true;
        if (scan.castlingMarks == 2) {
            scan.toFile = 6;
            scan.toRank = homeRank;
        } else if (scan.castlingMarks == 3) {
            scan.toFile = 2;
            scan.toRank = homeRank;
        } else {
            scan.fileSeen = scan.rankSeen = false;
        }
        scan.pieceLetter = 'K';
    }

    if (scan.pieceLetter == 0 && scan.FromSquareComplete()) {
        const int type = TypeOf(position.squares[MakeSquare(scan.fromFile, scan.fromRank)]);
        // A stray byte of type 0 that is not 0 is as empty as 0.
        if (type == kNoPiece || type == 7) return kMoveTextNoPiece;
        if (type != kPawn) scan.pieceLetter = kPieceLetters[type - 1];
    }

    if (!HasList()) return kMoveTextNoPiece;
    const int target = MakeSquare(scan.toFile, scan.toRank);

    // Hands offer(m) the moves of the pieces of one type in the list's order,
    // until it answers false: read from the whole list, or from the moves of
    // those pieces alone.
    const int count = byList ? list->Generate(position) : 0;
    const auto forEachMoveOf = [&](int type, auto offer) {
        const int listed = byList ? count : list->GenerateOfType(position, type);
        for (int i = 0; i < listed; ++i) {
            const MoveWord m = list->moves[i];
            if (byList && TypeOf(position.squares[MoveFrom(m)]) != type) continue;
            if (!offer(m)) return false;
        }
        return true;
    };

    const auto fitsSquares = [&](MoveWord m) {
        const int from = MoveFrom(m);
        return MoveTo(m) == target && (!scan.secondFileSeen || FileOf(from) == scan.fromFile) &&
               (!scan.secondRankSeen || RankOf(from) == scan.fromRank);
    };

    CandidateChoice choice(scan.promotionLetter);
    if (scan.pieceLetter != 0) {
        const int type = PieceTypeOfLetter(scan.pieceLetter);
        const bool clear = type == kNoPiece || forEachMoveOf(type, [&](MoveWord m) {
            return !fitsSquares(m) || !IsLegalMove(position, m) || choice.Offer(m);
        });
        if (!clear) return kMoveTextAmbiguous;
    }

    if (!choice.found) {
        const bool pawnLetter = scan.pieceLetter == 0 || scan.pieceLetter == 'P';
        const bool clear = forEachMoveOf(kPawn, [&](MoveWord m) {
            if (scan.ShortPawnCapture()) {
                // ed: the last pawn move from the one file onto the other,
                // taken as it stands.
                if (FileOf(MoveTo(m)) == scan.toFile && FileOf(MoveFrom(m)) == scan.fromFile) {
                    choice.found = true;
                    choice.choice = m;
                }
                return true;
            }
            return !pawnLetter || !fitsSquares(m) || !IsLegalMove(position, m) || choice.Offer(m);
        });
        if (!clear) return kMoveTextAmbiguous;
    }

    if (!choice.found) return kMoveTextNoMatch;
    *move = choice.choice;
    return kMoveTextOk;
}

int MoveTextRecogniser::ParseVariation(const char* text, const Position& position, MoveWord* moves,
                                       int capacity) {
    return ReadVariation(text, position, moves, capacity, false);
}

int MoveTextRecogniser::ParseVariationByList(const char* text, const Position& position, MoveWord* moves,
                                             int capacity) {
    return ReadVariation(text, position, moves, capacity, true);
}

int MoveTextRecogniser::ReadVariation(const char* text, const Position& position, MoveWord* moves, int capacity,
                                      bool byList) {
    if (text == nullptr || moves == nullptr) return 0;
    Position copy = position;
    int written = 0;
    char token[kTokenCapacity + 1];
    const char* p = text;
    while (*p != 0 && written < capacity) {
        const char* start = p;
        while (*p != 0 && !IsSeparator(*p)) ++p;
        const std::size_t length = static_cast<std::size_t>(p - start);
        while (IsSeparator(*p)) ++p;

        MoveWord move = 0;
        int result;
        if (!byList && IsCoordinateMove(start, length)) {
            // Nothing to strip and nothing to look at: read it where it stands.
            result = ParseCoordinateMove(start, length, copy, &move);
        } else {
            // A longer token is no move; cutting it could make one out of it.
            if (length > kTokenCapacity) continue;
            std::memcpy(token, start, length);
            token[length] = 0;

            const char* word = AfterLastDot(token);
            const int wordLength = static_cast<int>(std::strlen(word));
            if (wordLength == 0 || !LooksLikeMove(word, wordLength)) continue;
            result = byList ? ParseMoveTextByList(word, copy, &move) : ParseMoveText(word, copy, &move);
        }
        if (result == kMoveTextAmbiguous) break;
        if (result != kMoveTextOk) continue;
        moves[written++] = move;
        copy.MakeMove(move);
    }
    return written;
}

}  // namespace cecp
