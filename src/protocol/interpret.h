// Interpretation of the engine's output, one line at a time.
#pragma once

namespace cecp {

// Classifies one line of engine output (without its line feed) and acts on
// it: the engine's move ends the search, thinking lines and status answers
// become progress reports. Runs on the reader thread only.
void InterpretLine(const char* line);

}  // namespace cecp
