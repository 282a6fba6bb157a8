// One game between two sides, each an engine behind its own loaded module or
// a person at the terminal: the game that play plays, and every game of a
// match.
#pragma once

#include <string>
#include <vector>

#include "board.h"
#include "chess/move_word.h"
#include "clock.h"
#include "session.h"
#include "standings.h"

namespace enghost {

struct GameSide {
    std::string name;                 // shown, and the PGN's White or Black
    EngineSession* engine = nullptr;  // null: a person types the moves
    bool ponders = false;             // thinks on the reply it expects while the other side moves
};

struct GameSetup {
    Board start;  // where the game starts
    bool standardStart = true;
    // Played at once from start, before the clocks run (an opening's moves):
    // the engines are given them as moves of the game.
    std::vector<cecp::MoveWord> opening;
    TimeControl control;
    int maxMoves = 0;  // moves each, the opening's included, before the game is stopped; 0: no limit
    std::string event = "enghost game", site = "?", round = "1";
    std::vector<std::pair<std::string, std::string>> extraTags;  // after the standard ones
    // Each move as it is played, and on a terminal the engine's thinking.
    bool showMoves = true;
};

// How a game ended.
enum class EndKind {
    kRules,        // mate, stalemate, a draw by rule, a resignation
    kClock,        // a flag fell
    kFault,        // an engine died, moved illegally or unrecognisably, or did not move when told
    kUnfinished,   // stopped at a limit, or left by a person
    kInterrupted,  // the program was interrupted (Ctrl-C)
};

struct GameOutcome {
    std::string result = "*";  // 1-0, 0-1, 1/2-1/2 or *
    std::string reason;        // in words: "White mates", "Black's engine died during its search"
    std::string termination;   // the PGN Termination tag
    EndKind kind = EndKind::kUnfinished;
    int faultySide = -1;       // kFault: 0 White, 1 Black
    int plies = 0;             // moves played, the opening's included
    PonderStats ponder[2];     // White's and Black's
    std::string pgn;           // the whole game in PGN
};

// Plays the game to its end. The engines must be open; they are left open
// (and no longer pondering) for the caller to close.
GameOutcome PlayGame(const GameSetup& setup, const GameSide sides[2]);

// The PGN Date tag for today.
std::string TodayText();

}  // namespace enghost
