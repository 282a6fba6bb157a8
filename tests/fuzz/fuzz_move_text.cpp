// Move text and positions from arbitrary bytes: recognition, legality and
// MakeMove stay on the board and within the caller's array, every move
// recognised is listed, and the quicker ways give the whole list's answers.
//
// Input: 64 board bytes (the last four also name squares and a piece type to
// check), side, castling, en-passant and flags bytes, a move word (played
// after the line; its squares also taken as the king's), then the text.
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
// on every square the list has moves from and on four others the input names,
// rather than on all 64. So are a piece type's moves, for the type named.
void SameSquareMoves(const cecp::Position& position, std::uint32_t otherSquares, int type) {
    cecp::MoveList all, one;
    const int count = all.Generate(position);
    // The list's moves that keep() takes, in its order, are exactly one's first `mine`.
    const auto same = [&](auto keep, int mine) {
        int at = 0;
        for (int i = 0; i < count; ++i)
            if (keep(all.moves[i]) && (at >= mine || one.moves[at++] != all.moves[i])) std::abort();
        if (at != mine) std::abort();
    };
    bool named[cecp::kSquareCount] = {};
    for (int i = 0; i < count; ++i) named[cecp::MoveFrom(all.moves[i])] = true;
    for (int k = 0; k < 4; ++k) named[(otherSquares >> (6 * k)) % cecp::kSquareCount] = true;
    for (int square = 0; square < cecp::kSquareCount; ++square) {
        const auto from = [square](cecp::MoveWord m) { return cecp::MoveFrom(m) == square; };
        if (named[square]) same(from, one.GenerateFrom(position, square));
    }
    same([&](cecp::MoveWord m) { return cecp::TypeOf(position.squares[cecp::MoveFrom(m)]) == type; },
         one.GenerateOfType(position, type));
}

void SameKingSafety(const cecp::Position& afterMove, cecp::MoveWord move) {
    if (cecp::KingSafeAfterMove(afterMove, move) != cecp::KingSafeAfterMoveByList(afterMove, move)) std::abort();
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

    cecp::MoveWord move = 0x7fff, moveByList = 0x7fff;
    const auto read = recogniser.ParseMoveText(text.c_str(), position, &move);
    if ((read == cecp::kMoveTextOk && !Listed(position, move)) ||
        read != recogniser.ParseMoveTextByList(text.c_str(), position, &moveByList) || move != moveByList)
        std::abort();
    SameSquareMoves(position, std::uint32_t{data[60]} | std::uint32_t{data[61]} << 8 | std::uint32_t{data[62]} << 16,
                    data[63] & 7);

    cecp::MoveWord raw;
    std::memcpy(&raw, data + 68, sizeof raw);
    // The position taken as one after the word, and after the null move with
    // the king where it stands or, as a missing king keeps an old square, on
    // the word's squares or the en-passant square.
    SameKingSafety(position, raw);
    cecp::Position probe = position;
    int& kingSquare = probe.sideToMove != 0 ? probe.whiteKingSquare : probe.blackKingSquare;
    const int kingSquares[] = {kingSquare, cecp::MoveFrom(raw), cecp::MoveTo(raw), static_cast<int>(data[66])};
    kingSquare = kingSquares[(flags >> 1) % 4];
    SameKingSafety(probe, 0);

    const int capacity = 1 + (flags >> 1) % 128;
    cecp::MoveWord* moves = new cecp::MoveWord[capacity];  // exact size: ASan sees any overrun
    const int count = recogniser.ParseVariation(text.c_str(), position, moves, capacity);
    if (count < 0 || count > capacity) std::abort();
    // Every move of the line is the by-list reading's (below); the first few
    // are also checked here, which for all 128 would cost more than the rest.
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

    // The host's move words may be anything.
    line.MakeMove(static_cast<cecp::MoveWord>(raw & 0x7fff));
    SameKingSafety(line, raw);
    cecp::HasNoLegalMove(line);
    return 0;
}
