// The game the engine holds: where it began, the moves it was given or
// played, and where a ponder search put in the reply the host expected.
//
// Engines keep what they learn during a game (hash table, history, the time
// they used) and most of them forget it all at "new" or "ucinewgame". So a
// request that goes on with the engine's game must not start a new one: not
// between two requests of one game, and not because a ponder search guessed
// the reply wrong. The dialects that keep the engine's game going (protocol
// 2, UCI) ask this record how a request follows on from it.
#pragma once

#include <mutex>

#include "chess/move_word.h"
#include "chess/notation.h"
#include "protocol/search_request.h"

namespace cecp {

class EngineGame {
public:
    // How a request follows on from the engine's game.
    struct Follow {
        bool continues = false;  // false: the request is another game
        // Moves at the end of the engine's game to take back first: a ponder
        // search's expected reply that was not played, and the engine's
        // answer to it where it gave one.
        int takeBack = 0;
        int firstNew = 0;  // the request's first move that the engine does not hold
    };

    // A request continues the engine's game when it starts where the game
    // started (fen: the request's start as FEN, empty for the standard
    // start) and plays its moves, then more; or when it leaves out exactly
    // the reply a ponder search expected (and the engine's answer to it) and
    // goes on from there.
    Follow FollowOf(const SearchRequestView& request, const char* fen) const;

    // The request's game is the engine's now; guessed: its last move is the
    // reply a ponder search expects. The engine's own move may follow once.
    void Take(const SearchRequestView& request, const char* fen, bool guessed);

    // The engine played move at the end of the game it was last given (on
    // the reader thread); a move at any other time is not its game's.
    void Play(MoveWord move);

    // Nothing is known of the engine's game: the next request starts a new one.
    void Forget();

    // The engine's own move has been played into the game it was last given.
    bool EngineMoved() const;

private:
    static constexpr int kCapacity = static_cast<int>(search_request::kMoveCapacity) + 1;

    mutable std::mutex mutex_;
    bool known_ = false;
    char fen_[kFenTextSize] = {};
    int count_ = 0;
    MoveWord moves_[kCapacity] = {};
    int guessAt_ = -1;     // index of the expected reply in moves_, -1: none
    int givenCount_ = 0;   // the moves of the game last given; the engine's own follows
};

}  // namespace cecp
