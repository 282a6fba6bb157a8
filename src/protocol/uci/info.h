// The "info" lines of a UCI engine: what it says of its search.
#pragma once

#include <cstdint>

namespace cecp {

constexpr int kCurrentMoveTextSize = 8;

struct UciInfo {
    bool hasDepth = false;
    std::int32_t depth = 0;
    bool hasNodes = false;
    std::int64_t nodes = 0;
    bool hasTime = false;
    std::int64_t milliseconds = 0;
    bool hasScore = false;
    bool mate = false;       // score is moves to mate (negative: the engine is mated)
    std::int32_t score = 0;  // centipawns, or moves to mate
    bool bound = false;      // lowerbound or upperbound: not an exact score
    std::int32_t multipv = 1;
    char currentMove[kCurrentMoveTextSize] = {};  // empty when none was named
    std::int32_t currentMoveNumber = 0;
    // The main line: the rest of the line after "pv", or null.
    const char* mainLine = nullptr;
    bool isString = false;  // "info string ...": text for people
};

// Reads an "info" line (false for any other line). Whatever the line holds it
// never reads past its end: a keyword without its value, a number too large
// (held at the type's ends), words it does not know (skipped, with the
// values of the keywords it knows to have them).
bool ReadUciInfo(const char* line, UciInfo* info);

}  // namespace cecp
