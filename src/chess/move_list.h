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
    // The most moves Generate lists for one piece, by type: a pawn's three
    // targets with four promotions each (on the rank before its last, where
    // it has neither double step nor en passant), a bishop's 13 and a queen's
    // 27 from the centre, a rook's 14 from anywhere, a king's eight steps and
    // two castlings. While their sum stays within the capacity no list fills
    // up, which the quicker ways rely on.
    static constexpr std::uint8_t kMostMoves[8] = {0, 12, 8, 13, 14, 27, 10, 0};

    MoveList();

    // Fills the list with the pseudo-legal moves of the side to move.
    int Generate(const Position& position);
    // Fills the list with the moves of Generate's list that start on the
    // square, in its order: none when the piece there is not the side to
    // move's, and none that a full list would have cut off.
    int GenerateFrom(const Position& position, int square);
    // Fills the list with the moves of Generate's list made by the side to
    // move's pieces of one type, in its order, and none that a full list
    // would have cut off.
    int GenerateOfType(const Position& position, int type);
    MoveWord MoveAt(int index) const;
    int Count() const { return count; }

    MoveWord moves[256];
    std::int32_t count;

private:
    using Generator = void (MoveList::*)();

    void GenerateAll(int sideColour);
    // Generate's list, of which only the moves keep(move) answers true for.
    template <typename Keep>
    int GenerateKept(const Position& position, Keep keep);
    void Prepare(const Position& positionToList);
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
// The same answer read off the whole pseudo-legal list of the side to move
// (whether a move of it lands on the king, or for castling on the squares the
// king used): KingSafeAfterMove's own way when that list could fill up and
// lose moves, and the measure the tests hold its quicker way to.
bool KingSafeAfterMoveByList(const Position& afterMove, MoveWord move);
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
