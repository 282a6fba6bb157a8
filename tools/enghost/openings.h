// Opening positions for a match: EPD lines (a position each), or PGN games
// whose moves are played before the engines take over.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "board.h"
#include "chess/move_word.h"

namespace enghost {

struct Opening {
    std::string name;  // the EPD's id or "position N", the PGN's Opening or Event tag or "opening N"
    Board start;       // where the game starts (a PGN game's FEN tag, or the start position)
    bool standardStart = true;
    std::vector<cecp::MoveWord> moves;  // played from start before the engines take over
};

// The openings in text: PGN when it has a tag pair or a numbered move,
// otherwise EPD (four fields, or six as in FEN, and optional operations).
// Nothing and a message naming the line or game at fault when something
// in it is not a legal position or move, or when there is no opening.
std::optional<std::vector<Opening>> ParseOpenings(const std::string& text, std::string* error);

// The openings of a file; the message names the file.
std::optional<std::vector<Opening>> ReadOpenings(const std::string& path, std::string* error);

}  // namespace enghost
