// Move text and positions from arbitrary bytes: whatever the host and the
// engine hand over, recognition, legality and MakeMove stay on the board and
// within the caller's array, and every move recognised is one of the list.
// The quicker ways give the whole list's answers: a square's and a piece
// type's moves, the king's safety, move text and whole lines read both ways.
//
// Input: 64 board bytes (any values), side, castling, en-passant and flags
// bytes, two bytes of a move word for MakeMove, then the text. The move
// word's squares, with a promotion letter chosen by its top bits, are also
// read as coordinate text, and its target is also taken as the king's square.
// The board's last four bytes also name squares and a piece type to check and
// choose where the costliest checks go (below).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "chess/move_list.h"
#include "chess/move_text.h"
#include "chess/position.h"
#include "move_listed.h"

namespace {

constexpr std::size_t kHeader = 64 + 4 + 2;

using cecp::fuzz::Listed;

// A square's moves are the whole list's moves from it, in its order: checked
// on every square the list has moves from and on four others the input
// names (which must have none), rather than on all 64 of every input. So are
// a piece type's moves, for the type the input names.
void SameSquareMoves(const cecp::Position& position, std::uint32_t otherSquares, int type) {
    cecp::MoveList all, one;
    const int count = all.Generate(position);
    // The list's moves by their from square, each square's in the list's order.
    int start[cecp::kSquareCount + 1] = {};
    for (int i = 0; i < count; ++i) ++start[cecp::MoveFrom(all.moves[i]) + 1];
    for (int square = 0; square < cecp::kSquareCount; ++square) start[square + 1] += start[square];
    int next[cecp::kSquareCount];
    std::memcpy(next, start, sizeof next);
    cecp::MoveWord byFrom[sizeof all.moves / sizeof all.moves[0]];
    for (int i = 0; i < count; ++i) byFrom[next[cecp::MoveFrom(all.moves[i])]++] = all.moves[i];

    auto check = [&](int square) {
        const int mine = one.GenerateFrom(position, square);
        if (mine != start[square + 1] - start[square] ||
            std::memcmp(one.moves, byFrom + start[square], sizeof *one.moves * static_cast<std::size_t>(mine)) != 0)
            std::abort();
    };
    for (int square = 0; square < cecp::kSquareCount; ++square) {
        if (start[square + 1] > start[square]) check(square);
    }
    for (int k = 0; k < 4; ++k) check(static_cast<int>((otherSquares >> (6 * k)) % cecp::kSquareCount));

    const int ofType = one.GenerateOfType(position, type);
    int listed = 0;
    for (int i = 0; i < count; ++i) {
        if (cecp::TypeOf(position.squares[cecp::MoveFrom(all.moves[i])]) != type) continue;
        if (listed == ofType || one.moves[listed] != all.moves[i]) std::abort();
        ++listed;
    }
    if (listed != ofType) std::abort();
}

void SameKingSafety(const cecp::Position& afterMove, cecp::MoveWord move) {
    if (cecp::KingSafeAfterMove(afterMove, move) != cecp::KingSafeAfterMoveByList(afterMove, move)) std::abort();
}

void SameReading(cecp::MoveTextRecogniser& recogniser, const char* text, const cecp::Position& position) {
    cecp::MoveWord quick = 0x7fff, byList = 0x7fff;
    if (recogniser.ParseMoveText(text, position, &quick) != recogniser.ParseMoveTextByList(text, position, &byList) ||
        quick != byList)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeader) return 0;
    static cecp::MoveTextRecogniser recogniser;  // one for the run, as in the module

    const std::uint8_t flags = data[67];
    cecp::Position position;
    // The en-passant byte is signed so that stray negative squares come up too.
    position.SetFromBoard(data, data[64] % 3, data[65], static_cast<std::int8_t>(data[66]));
    if (flags & 1) position.CastlingFromPlacement();
    const std::string text(reinterpret_cast<const char*>(data + kHeader), size - kHeader);

    cecp::MoveWord move = 0;
    if (recogniser.ParseMoveText(text.c_str(), position, &move) == cecp::kMoveTextOk &&
        !Listed(position, move))
        std::abort();
    SameReading(recogniser, text.c_str(), position);
    // Squares named by the board's last bytes, whose top bits choose where
    // the costliest checks go: a square's moves on the position given or on
    // the one after the line, and the end of the line or a stray move after
    // it for HasNoLegalMove. Each costs a move list per piece.
    const std::uint32_t otherSquares = std::uint32_t{data[60]} | std::uint32_t{data[61]} << 8 |
                                       std::uint32_t{data[62]} << 16;
    const bool squaresAfterLine = (data[63] & 0x80) != 0, strayMove = (data[63] & 0x40) != 0;
    const int type = data[63] & 7;
    if (!squaresAfterLine) SameSquareMoves(position, otherSquares, type);

    cecp::MoveWord raw;
    std::memcpy(&raw, data + 68, sizeof raw);
    const int rawFrom = cecp::MoveFrom(raw), rawTo = cecp::MoveTo(raw);
    char coordinate[6] = {cecp::FileLetter(rawFrom), cecp::RankDigit(rawFrom), cecp::FileLetter(rawTo),
                          cecp::RankDigit(rawTo), "\0qrbnQRBN"[(raw >> 12) % 9], 0};
    SameReading(recogniser, coordinate, position);
    coordinate[4] = 0;
    SameReading(recogniser, coordinate, position);
    // The position taken as one after a move: that move, and the null move
    // with the king of the side that moved where it stands, on the word's
    // squares or on the en-passant square (a missing king keeps an old one),
    // one of the four an input (each check costs two move lists).
    SameKingSafety(position, raw);
    cecp::Position probe = position;
    int& kingSquare = probe.sideToMove != 0 ? probe.whiteKingSquare : probe.blackKingSquare;
    const int kingSquares[] = {kingSquare, rawFrom, rawTo, static_cast<int>(data[66])};
    kingSquare = kingSquares[(flags >> 1) % 4];
    SameKingSafety(probe, 0);

    const int capacity = 1 + (flags >> 1) % 128;
    cecp::MoveWord* moves = new cecp::MoveWord[capacity];  // exact size: ASan sees any overrun
    const int count = recogniser.ParseVariation(text.c_str(), position, moves, capacity);
    if (count < 0 || count > capacity) std::abort();
    // Every move of the line is the by-list reading's (below), which takes
    // its moves from the list; the first few are also looked up in the list
    // and checked for king safety both ways here, which for all 128 would
    // cost most inputs more than everything else.
    constexpr int kMovesCheckedHere = 4;
    cecp::Position line = position;
    for (int i = 0; i < count; ++i) {
        if (i < kMovesCheckedHere) {
            if (!Listed(line, moves[i])) std::abort();
            cecp::Position after = line;
            after.MakeMove(moves[i]);
            SameKingSafety(after, moves[i]);
        }
        line.MakeMove(moves[i]);
    }
    cecp::MoveWord* byList = new cecp::MoveWord[capacity];
    if (recogniser.ParseVariationByList(text.c_str(), position, byList, capacity) != count ||
        std::memcmp(moves, byList, sizeof *moves * static_cast<std::size_t>(count)) != 0)
        std::abort();
    delete[] byList;
    delete[] moves;

    if (squaresAfterLine) SameSquareMoves(line, otherSquares ^ static_cast<std::uint32_t>(count), type);
    if (strayMove) {
        line.MakeMove(static_cast<cecp::MoveWord>(raw & 0x7fff));
        SameKingSafety(line, raw);
    }
    cecp::HasNoLegalMove(line);
    return 0;
}
