// Moves and positions as text for engines that ask for them: standard
// algebraic notation (SAN) and FEN. Fixed buffers, no heap.
#pragma once

#include "chess/move_word.h"
#include "chess/position.h"

namespace cecp {

// Room to spare for the longest standard notation (seven characters, as in
// Qa4xd1+ and axb8=Q#) and its NUL.
constexpr int kSanTextSize = 16;

// Standard notation of a legal move of the position: the piece letter, the
// least of the from square that tells it from the other legal moves of that
// kind of piece to the same square (file, else rank, else both), x for a
// capture (a pawn's with its file, en passant included), =Q for a promotion,
// O-O and O-O-O, then + for check or # for mate. A word that moves no piece
// is written as its coordinates (e2e4). Returns the length written.
int WriteSan(const Position& position, MoveWord move, char (&out)[kSanTextSize]);

// Placement (eight ranks of at most eight characters, seven slashes), side,
// castling, en passant and two counters of up to ten digits, each after a
// blank, and the NUL.
constexpr int kFenTextSize = 71 + 2 + 5 + 3 + 11 + 11 + 1;

// FEN of the position: placement, side to move, the castling rights that the
// placement allows (king and rook on their home squares), the en-passant
// square only when the side to move can capture there (engines that check it
// would refuse the position otherwise), then the two counters given (a
// negative clock is written as 0, a move number below 1 as 1). Returns the
// length written.
int WriteFen(const Position& position, int halfMoveClock, int fullMoveNumber, char (&out)[kFenTextSize]);

// Room for the reason a text is not FEN.
constexpr int kFenProblemSize = 128;

// Reads FEN: the placement (eight ranks of eight squares, piece letters and
// digits), the side to move (w or b), the castling rights (- or letters of
// KQkq, each once), the en-passant square (- or a square) and, when given,
// the half-move clock and the move number (from 1; without them 0 and 1).
// The position is set up from the fields as the host's board is
// (Position::SetFromBoard), whatever it holds: whether a game can reach it
// is the caller's to judge. False, and the reason in problem, for text that
// is not FEN.
bool ReadFen(const char* text, Position* out, int* halfMoveClock, int* fullMoveNumber,
             char (&problem)[kFenProblemSize]);

}  // namespace cecp
