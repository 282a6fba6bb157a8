// Positions for the tests, written as FEN, and moves as coordinate text.
#pragma once

#include <stdexcept>
#include <string>

#include "chess/move_word.h"
#include "chess/notation.h"
#include "chess/position.h"

namespace cecp::test {

// A position from FEN, read by the adapter's own reader; the move counters
// may be left out. Any placement is taken, as the host's board is.
inline Position FromFen(const std::string& fen) {
    Position position;
    int halfMoveClock = 0, fullMoveNumber = 1;
    char problem[kFenProblemSize];
    if (!ReadFen(fen.c_str(), &position, &halfMoveClock, &fullMoveNumber, problem))
        throw std::invalid_argument("bad FEN in a test: " + fen + ": " + problem);
    return position;
}

// Coordinate text of a move word: e2e4, e7e8q.
inline std::string MoveName(MoveWord move) {
    std::string text{FileLetter(MoveFrom(move)), RankDigit(MoveFrom(move)), FileLetter(MoveTo(move)),
                     RankDigit(MoveTo(move))};
    if (IsPromotion(move)) text += PromotionLetter(MovePromotion(move));
    return text;
}

// The inverse for well-formed text; the tests' way of writing expected moves.
inline MoveWord Move(const std::string& text) {
    const int from = MakeSquare(text[0] - 'a', text[1] - '1');
    const int to = MakeSquare(text[2] - 'a', text[3] - '1');
    int code = kNoPromotion;
    if (text.size() > 4) {
        const std::string letters = "qrbn";
        code = kPromoteQueen + static_cast<int>(letters.find(text[4]));
    }
    return MakeMoveWord(from, to, code);
}

}  // namespace cecp::test
