// Recognition of the engine's move text against the legal moves of a position.
#pragma once

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

private:
    MoveList* list = nullptr;
};

}  // namespace cecp
