// The console: lines from any thread, and a status line that a terminal
// shows in place while an engine thinks.
#pragma once

#include <cstdint>
#include <string>

namespace enghost {

bool StdoutIsTerminal();
// Writes text and a line feed, replacing a status line on show.
void PrintLine(const std::string& text);
// On a terminal: shows text in place of the last status line. Elsewhere nothing.
void ShowStatus(const std::string& text);
void ClearStatus();
void PrintError(const std::string& text);  // "enghost: " and the text, on standard error

// A score in pawns from centipawns: "+0.35", "-1.20"; mates as the moves to
// mate: "+M5" (the engine mates), "-M3" (it is mated).
std::string ScoreText(int centipawns);
// "1.23 s"
std::string SecondsText(std::int64_t milliseconds);
// A count, or a count a second, as people read it: "999", "1.23k", "45.6M", "2.45G".
std::string CountText(std::int64_t count);

// Ends the program at once with the code once output is flushed: used when
// a module cannot be unloaded because a thread of ours is stuck in it.
[[noreturn]] void ExitNow(int code);

}  // namespace enghost
