// Boards that no game reaches but that the host may hand over all the same:
// the hostile test plays on them, and the agreement test holds the quicker
// ways of judging moves to the whole list on them.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <ostream>
#include <utility>
#include <vector>

#include "chess/move_word.h"
#include "chess/position.h"
#include "fen.h"

namespace cecp::test {

struct HostileBoard {
    const char* name;
    std::uint8_t squares[kSquareCount];
    int side, castling, ep;

    // Set up as the host's board is; the rights as given, or from the placement.
    Position ToPosition(bool rightsFromPlacement = false) const {
        Position position;
        position.SetFromBoard(squares, side, castling, ep);
        if (rightsFromPlacement) position.CastlingFromPlacement();
        return position;
    }
};

inline void PrintTo(const HostileBoard& b, std::ostream* os) { *os << b.name; }

inline HostileBoard Board(const char* name, const char* fen, int side, int castling, int ep) {
    HostileBoard board{name, {}, side, castling, ep};
    const Position position = FromFen(fen);
    std::memcpy(board.squares, position.squares, kSquareCount);
    return board;
}

inline HostileBoard WithBytes(HostileBoard board, std::initializer_list<std::pair<int, int>> bytes) {
    for (auto [square, code] : bytes) board.squares[square] = static_cast<std::uint8_t>(code);
    return board;
}

inline std::vector<HostileBoard> HostileBoards() {
    return {
        Board("PawnsOnBothBackRanks", "PPPPPPPP/pppppppp/8/4k3/8/4K3/PPPPPPPP/pppppppp w KQkq -", 0, 15, 0),
        Board("BlackPawnsOnBackRanks", "PPPPPPPP/pppppppp/8/4k3/8/4K3/PPPPPPPP/pppppppp b KQkq -", 1, 15, 0),
        Board("NoKings", "rnbq1bnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQ1BNR w KQkq -", 0, 15, 0),
        Board("KingsEverywhere", "kKkKkKkK/KkKkKkKk/8/8/8/8/kKkKkKkK/KkKkKkKk b KQkq -", 1, 15, 0),
        Board("SixtyFourQueens", "QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/qqqqqqqq/qqqqqqqq/qqqqqqqq/qqqqqqqq w - -",
              0, 15, 0),
        Board("QueensAndOneKing", "Q1Q1Q1Q1/1Q1Q1Q1Q/Q1Q1Q1Q1/1Q1Q1Q1Q/Q1Q1Q1Q1/1Q1Q1Q1Q/Q1Q1Q1Q1/k6K w - -", 0,
              15, 0),
        // Castling rights that the placement contradicts: kings and rooks off home.
        Board("RightsWithoutRooks", "4k3/8/8/8/8/8/8/4K3 w KQkq -", 0, 15, 0),
        Board("RightsWithKingsInCorners", "k6K/8/8/8/8/8/8/K6k w KQkq -", 0, 15, 0),
        Board("BlackRightsWithWhiteRooks", "R3k2R/8/8/8/8/8/8/r3K2r b KQkq -", 1, 15, 0),
        // En-passant squares off ranks 3 and 6, at the edges, out of range.
        Board("EpOnRankFive", "4k3/8/8/P6P/8/8/8/4K3 w - -", 0, 0, 39),
        Board("EpOnRankFour", "4k3/8/8/8/p6p/8/8/4K3 b - -", 1, 0, 24),
        Board("EpOnTheKing", "4k3/8/8/3pP3/8/8/8/4K3 w - -", 0, 0, 60),
        Board("EpFarOutOfRange", "4k3/8/8/3pP3/8/8/8/4K3 w - -", 0, 0, 43 + 256),
        Board("NegativeEp", "4k3/8/8/3pP3/8/8/8/4K3 w - -", 0, 0, -1),
        Board("StraySide", "4k3/8/8/8/8/8/8/4K3 w - -", -7, -1, 0),
        WithBytes(Board("TypeSevenAndHighBytes", "4k3/8/8/8/8/8/8/4K3 w - -", 0, 15, 0),
                  {{0, 7}, {7, 15}, {12, 0x17}, {27, 0xff}, {36, 0x80}, {52, 0x1e}, {56, 0x10}, {63, 0x21}}),
        WithBytes(Board("HighBytesForBlack", "4k3/8/8/8/8/8/8/4K3 b - -", 1, 15, 0),
                  {{8, 0x19}, {9, 0xfe}, {10, 8}, {11, 0x88}, {35, 0x1d}, {48, 0x19}, {62, 0xf9}}),
        // More moves than a list holds: the side to move's list fills up in
        // e8's moves and loses those of f8 and g8.
        Board("WhiteQueensRoundTheEdge", "QQQQQQQK/Q6Q/Q6Q/Q6Q/Q6Q/Q6Q/Q6Q/kQQQQQQQ w - -", 0, 0, 0),
        Board("BlackQueensRoundTheEdge", "qqqqqqqk/q6q/q6q/q6q/q6q/q6q/q6q/Kqqqqqqq b - -", 1, 0, 0),
        // Black's pieces list 264 moves before the h8 queen takes the king on
        // h7: a list of Black's moves never sees that capture.
        Board("KingBeyondAFullList", "qqqqqqPq/q4qPK/q5rb/q6q/q6q/q6q/q6q/bqqqqqqq b - -", 1, 0, 0),
    };
}

// Random bytes (of the fifteen piece codes, or any), random side, rights and
// en-passant square, from a fixed seed.
class RandomBoards {
public:
    explicit RandomBoards(std::uint32_t seed) : state(seed) {}

    Position Next(bool anyByte) {
        std::uint8_t board[kSquareCount];
        const unsigned density = Draw() % 4;
        for (auto& square : board) {
            const unsigned r = Draw();
            square = (r & 3) <= density ? static_cast<std::uint8_t>((r >> 2) % (anyByte ? 256 : 15)) : 0;
        }
        // One draw after the other: the order of a call's arguments is the
        // compiler's choice, and every build should see the same boards.
        const int side = static_cast<int>(Draw() % 3);
        const int castling = static_cast<int>(Draw() % 32);
        const int ep = static_cast<int>(Draw() % 70);
        Position position;
        position.SetFromBoard(board, side, castling, ep);
        return position;
    }

    std::uint32_t Draw() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }

private:
    std::uint32_t state;
};

}  // namespace cecp::test
