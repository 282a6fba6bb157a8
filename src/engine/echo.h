// The debug console and the log file, as the rest of the module writes them.
#pragma once

#include <cstddef>

namespace cecp {

// How the log tells its lines apart: a command sent to the engine starts
// with kCommandMark, a note of the module's own with kNoteMark; the engine's
// output stands as it came.
constexpr char kCommandMark[] = "-> ";
constexpr char kNoteMark[] = "-- ";

// Writes text (which ends in a line feed) to the debug console, followed by
// "\r", and to the log file, each only when it is open.
void EchoLine(const char* text, std::size_t length);

// Writes a note of the module's own to the log file only, as "-- " and the
// text (cut to 500 characters) and a line feed: what the conversation alone
// does not show, such as an option the engine did not announce.
void LogNote(const char* text);

}  // namespace cecp
