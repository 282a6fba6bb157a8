// Pseudo-legal move generation and the legality tests built on it.
#pragma once

#include <csetjmp>
#include <cstdint>

#include "chess/move_word.h"
#include "chess/position.h"

namespace cecp {

class MoveList {
public:
    static constexpr int kCapacity = 255;

    MoveList();

    // Fills the list with the pseudo-legal moves of the side to move.
    int Generate(const Position& position);
    MoveWord MoveAt(int index) const;
    int Count() const { return count; }

    MoveWord moves[256];
    std::int32_t count;

private:
    using Generator = void (MoveList::*)();

    void GenerateAll(int sideColour);
    void AddMove(int to, int code);
    void AddPromotions(int to);
    void Step(int offset, int mask);
    void Slide(int offset, int mask);
    void GenerateNone();
    void GeneratePawn();
    void GenerateKnight();
    void GenerateBishop();
    void GenerateRook();
    void GenerateQueen();
    void GenerateKing();

    std::jmp_buf abortPoint;
    Generator generators[8];
    const Position* position = nullptr;
    std::int32_t capacity = kCapacity;
    std::int8_t fromSquare = 0;
    std::uint8_t pieceType = 0;
    std::uint8_t pieceColour = 0;
    std::uint8_t epSquare = 0;
    std::uint8_t castlingRights = 0;
};

// On a position in which a move has just been played: true when the mover's
// king cannot be captured (and, for castling, did not castle out of or across
// check).
bool KingSafeAfterMove(const Position& afterMove, MoveWord move);
// True when a move of the position's pseudo-legal list leaves the mover's
// king safe.
bool IsLegalMove(const Position& position, MoveWord move);
// True when the side to move has no legal move: checkmate or stalemate.
bool HasNoLegalMove(const Position& position);
// True when the king of the side to move is attacked.
bool SideToMoveInCheck(const Position& position);
// The en-passant square when the side to move can legally capture there,
// otherwise 0. FEN names no other, and the repetition rule tells positions
// apart by this one alone.
int EnPassantCaptureSquare(const Position& position);

}  // namespace cecp
