// The debug console and the log file, as the rest of the module writes them.
#pragma once

#include <cstddef>

namespace cecp {

// Writes text (which ends in a line feed) to the debug console, followed by
// "\r", and to the log file, each only when it is open.
void EchoLine(const char* text, std::size_t length);

}  // namespace cecp
