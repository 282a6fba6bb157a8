// Perft: leaf count of the legal-move tree, the oracle of move generation.
#pragma once

#include <cstdint>

#include "chess/move_list.h"
#include "chess/position.h"

namespace cecp::test {

// The positions whose published leaf counts check the move generator.
inline constexpr const char* kStart = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";
// Castling both ways, pins, promotions, en passant.
inline constexpr const char* kKiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -";
// An endgame of rank pins and en passant along the fourth and fifth ranks.
inline constexpr const char* kRookEnding = "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -";
inline constexpr const char* kMiddlegame = "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -";

// Legal moves as the adapter judges them: pseudo-legal, played with
// MakeMove, kept when KingSafeAfterMove holds.
inline std::uint64_t Perft(const Position& position, int depth) {
    MoveList list;
    const int count = list.Generate(position);
    std::uint64_t leaves = 0;
    for (int i = 0; i < count; ++i) {
        Position child = position;
        child.MakeMove(list.moves[i]);
        if (!KingSafeAfterMove(child, list.moves[i])) continue;
        leaves += depth <= 1 ? 1 : Perft(child, depth - 1);
    }
    return leaves;
}

}  // namespace cecp::test
