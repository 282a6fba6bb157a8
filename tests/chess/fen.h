// Positions for the tests, written as FEN: the module itself never reads FEN.
#pragma once

#include <cstdint>
#include <string>

#include "chess/move_word.h"
#include "chess/position.h"

namespace cecp::test {

// Board, side, castling and en-passant fields of a FEN; the move counters may
// be left out. Set up through SetFromBoard as the host's board is.
inline Position FromFen(const std::string& fen) {
    std::uint8_t board[kSquareCount] = {};
    std::size_t i = 0;
    int file = 0, rank = 7;
    for (; i < fen.size() && fen[i] != ' '; ++i) {
        const char c = fen[i];
        if (c == '/') {
            file = 0;
            --rank;
        } else if (c >= '1' && c <= '8') {
            file += c - '0';
        } else {
            const char lower = static_cast<char>(c | 0x20);
            const std::string letters = "pnbrqk";
            const auto type = letters.find(lower);
            if (type != std::string::npos && file < 8 && rank >= 0)
                board[MakeSquare(file, rank)] = MakePiece(static_cast<int>(type) + 1, c == lower);
            ++file;
        }
    }
    int side = 0, castling = 0, ep = 0;
    if (++i < fen.size()) side = fen[i] == 'b' ? 1 : 0;
    i += 2;
    for (; i < fen.size() && fen[i] != ' '; ++i) {
        switch (fen[i]) {
        case 'K': castling |= kWhiteShort; break;
        case 'Q': castling |= kWhiteLong; break;
        case 'k': castling |= kBlackShort; break;
        case 'q': castling |= kBlackLong; break;
        default: break;
        }
    }
    if (++i + 1 < fen.size() && fen[i] != '-') ep = MakeSquare(fen[i] - 'a', fen[i + 1] - '1');
    Position position;
    position.SetFromBoard(board, side, castling, ep);
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
