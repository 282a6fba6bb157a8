// Interpretation of the engine's output in the Chess Engine Communication
// Protocol, one line at a time, on the reader thread.
#pragma once

#include <atomic>

namespace cecp {

// Thinking lines: "depth score time nodes main line" (the short form), or
// also with selective depth, speed and table-base hits before a tab (the
// extended form of protocol version 2).
enum class ThinkingForm { kShort, kExtended };

struct CecpClock;

// What a CECP dialect gives the reading of its lines: the form of its
// thinking lines, its clock (whose status requests go on without limit once
// the engine answers one), and where the engine's move goes.
struct CecpLines {
    ThinkingForm form = ThinkingForm::kShort;
    CecpClock* clock = nullptr;
    void (*takeMove)(void* context, const char* move) = nullptr;
    void* context = nullptr;
};

// Classifies one line of engine output (without its line feed) and acts on
// it: a move line ("move MOVE", "NUMBER ... MOVE") goes to takeMove; thinking
// lines and status answers become progress reports; a rejection of
// "analyze" turns analysis off, one of "?" ends the search at once.
void InterpretCecpLine(const char* line, const CecpLines& lines);

// A move line: "move MOVE" or "NUMBER ... MOVE".
bool IsMoveLine(const char* line);

// A line of a search the engine would not cut short, read while no search
// waits: its move, the last of them, means the engine owes no more.
void SettleOwedMove(std::atomic<bool>& moveOwed, const char* line);

// A line that belongs to a search: a move, a thinking line, the "(only
// move)" notice or a status answer.
bool IsSearchLine(const char* line);

// "Illegal move..." (the first letter in either case): the engine refuses a move.
bool IsIllegalMoveLine(const char* line);

// A line with which the engine refuses a command or a move: "Error...",
// "Illegal move...", "Unexpected..." (the first letter in either case).
bool IsRejection(const char* line);

// The line without the bells some engines put before it.
const char* SkipBells(const char* line);

}  // namespace cecp
