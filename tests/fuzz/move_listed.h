// For the fuzz targets: whether a move is one of a position's generated moves.
#pragma once

#include "chess/move_list.h"
#include "chess/position.h"

namespace cecp::fuzz {

inline bool Listed(const Position& position, MoveWord move) {
    MoveList list;
    const int count = list.Generate(position);
    for (int i = 0; i < count; ++i) {
        if (list.moves[i] == move) return true;
    }
    return false;
}

}  // namespace cecp::fuzz
