// Commands to the engine and its output, line by line.
#pragma once

namespace cecp {

// Writes one command (NUL-terminated, ending in a line feed) to the engine in
// one write, and to the log after "-> ". Nothing is written without an engine.
void SendCommand(const char* command);

}  // namespace cecp
