// A finished game in PGN.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace enghost {

struct PgnMove {
    std::string san;
    std::string comment;  // empty: none
};

struct PgnGame {
    // In the order written; the seven standard tags come first by the
    // caller's choice of order.
    std::vector<std::pair<std::string, std::string>> tags;
    int firstMoveNumber = 1;
    bool blackMovesFirst = false;
    std::vector<PgnMove> moves;
    std::string result = "*";  // 1-0, 0-1, 1/2-1/2 or *
    std::string reason;        // a closing comment; empty: none
};

// The game's text: tags, a blank line, the move text in lines of at most 79
// characters, a blank line.
std::string WritePgn(const PgnGame& game);

}  // namespace enghost
