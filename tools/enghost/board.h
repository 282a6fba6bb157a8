// The stand-in host's own game board: the position with its move counters
// and history, FEN in and out, standard notation out, typed moves in, and the
// rules that end a game. Built on the module's chess rules (src/chess).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "chess/move_word.h"
#include "chess/position.h"

namespace enghost {

inline constexpr const char* kStartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

enum class GameEnd {
    kNone,
    kCheckmate,
    kStalemate,
    kThreefold,
    kFiftyMoves,
    kInsufficientMaterial,
};

class Board {
public:
    Board();  // the start position

    // A board from FEN; on a malformed or impossible FEN, nothing and a
    // message in error that says what is wrong.
    static std::optional<Board> FromFen(const std::string& fen, std::string* error);

    std::string Fen() const;
    bool WhiteToMove() const { return position_.sideToMove == 0; }
    int FullMoveNumber() const { return fullMove_; }
    int HalfMoveClock() const { return halfMoveClock_; }
    const cecp::Position& position() const { return position_; }

    std::vector<cecp::MoveWord> LegalMoves() const;
    bool IsLegal(cecp::MoveWord move) const;
    bool InCheck() const;

    // Standard notation of a legal move, with + or # after it.
    std::string San(cecp::MoveWord move) const;
    // Standard notation of a line of moves from this position, moves numbered
    // ("12. Nf3 Nc6", "12... Nc6 13. Nf3"); stops at the first illegal move.
    std::string SanLine(const cecp::MoveWord* moves, int count) const;

    // A move typed by a person, in coordinate (e2e4, e7e8q) or standard
    // notation (Nf3, exd5, O-O, e8=Q). Nothing and a message when it is not
    // a move, is ambiguous or is illegal here.
    std::optional<cecp::MoveWord> ParseTypedMove(const std::string& text, std::string* error) const;

    // Plays a legal move.
    void Play(cecp::MoveWord move);

    // The board as plain text for a person: ranks and files named on every
    // side, White's pieces in capitals, Black's in small letters, "." for an
    // empty square; seen from White's side or from Black's, the from and to
    // squares of lastMove (unless 0) in brackets.
    std::string Diagram(bool fromWhitesSide, cecp::MoveWord lastMove) const;

    // Whether the game is over in this position, and why.
    GameEnd Adjudicate() const;

private:
    std::string RepetitionKey() const;

    cecp::Position position_;
    int halfMoveClock_ = 0;
    int fullMove_ = 1;
    // Positions since the last capture or pawn move, this one last.
    std::vector<std::string> history_;
};

// The position a game starts from: the one a FEN gives (the standard start
// position when the FEN is empty), and whether that is the standard one.
struct GameStart {
    Board board;
    bool standard = true;
};
std::optional<GameStart> StartFromFen(const std::string& fen, std::string* error);

// Coordinate text of a move: e2e4, e7e8q.
std::string CoordinateText(cecp::MoveWord move);

// The words a game end is told in, e.g. "checkmate", "threefold repetition".
const char* GameEndText(GameEnd end);

}  // namespace enghost
