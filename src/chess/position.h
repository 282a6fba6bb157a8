// The adapter's own board: the position as it was last sent to the engine.
#pragma once

#include <cstdint>

#include "chess/move_word.h"

namespace cecp {

class Position {
public:
    constexpr Position() = default;

    // The standard initial array, White to move, all castling rights.
    void SetStartPosition();
    // Takes 64 piece-code bytes as they stand; side 0 White, 1 Black.
    void SetFromBoard(const std::uint8_t* board, int side, int castling, int ep);
    // Last king of each colour on the board wins; a missing king keeps its field.
    void FindKings();
    // Castling rights from the placement of kings and rooks alone.
    void CastlingFromPlacement();
    // Applies the move as given; legality is the move generator's business.
    void MakeMove(MoveWord move);

    std::uint8_t squares[kSquareCount] = {};
    std::int32_t sideToMove = 0;  // 0 White, 1 Black
    std::int32_t castlingRights = kAllCastling;
    std::int32_t epSquare = 0;  // 0 = none
    std::int32_t whiteKingSquare = 4;
    std::int32_t blackKingSquare = 60;
};

}  // namespace cecp
