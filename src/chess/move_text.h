// Recognition of the engine's move text against the legal moves of a position.
#pragma once

#include <cstddef>

#include "chess/move_list.h"
#include "chess/move_word.h"
#include "chess/position.h"

namespace cecp {

enum MoveTextResult : int {
    kMoveTextOk = 0,
    kMoveTextAmbiguous = 1,
    kMoveTextNoMatch = 2,
    kMoveTextMalformed = 3,
    kMoveTextNoPiece = 4,
};

// Holds one move list from its first use until the module unloads.
class MoveTextRecogniser {
public:
    constexpr MoveTextRecogniser() = default;
    ~MoveTextRecogniser() { delete list; }
    MoveTextRecogniser(const MoveTextRecogniser&) = delete;
    MoveTextRecogniser& operator=(const MoveTextRecogniser&) = delete;

    int ParseMoveText(const char* text, const Position& position, MoveWord* move);
    // Writes at most capacity words; returns the number written.
    int ParseVariation(const char* text, const Position& position, MoveWord* moves, int capacity);

    // The same recognition with every text read against the whole move list:
    // the measure that the tests hold ParseMoveText's quicker ways to, which
    // look at the moves of the from square alone (coordinate moves: e2e4,
    // e7e8q) or of the pieces of the type named (every other text).
    int ParseMoveTextByList(const char* text, const Position& position, MoveWord* move);
    int ParseVariationByList(const char* text, const Position& position, MoveWord* moves, int capacity);

private:
    int ParseCoordinateMove(const char* text, std::size_t length, const Position& position, MoveWord* move);
    int ReadMoveText(const char* text, const Position& position, MoveWord* move, bool byList);
    int ReadVariation(const char* text, const Position& position, MoveWord* moves, int capacity, bool byList);
    bool HasList();

    MoveList* list = nullptr;
};

}  // namespace cecp
