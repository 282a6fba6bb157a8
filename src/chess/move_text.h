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
    // ParseMoveText's own way for all but coordinate moves (e2e4, e7e8q),
    // whose quicker way looks at the moves of the from square alone, and the
    // measure that the tests hold that quicker way to.
    int ParseMoveTextByList(const char* text, const Position& position, MoveWord* move);
    int ParseVariationByList(const char* text, const Position& position, MoveWord* moves, int capacity);

private:
    int ParseCoordinateMove(const char* text, std::size_t length, const Position& position, MoveWord* move);
    int ReadVariation(const char* text, const Position& position, MoveWord* moves, int capacity, bool byList);
    bool HasList();

    MoveList* list = nullptr;
};

}  // namespace cecp
