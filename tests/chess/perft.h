// Perft: leaf count of the legal-move tree, the oracle of move generation.
#pragma once

#include <cstdint>

#include "chess/move_list.h"
#include "chess/position.h"

namespace cecp::test {

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
