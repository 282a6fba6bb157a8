// The log file, and writes to it and to the debug console.
#pragma once

#include <cstddef>

#include "platform/handle.h"

namespace cecp::platform {

// Creates the file at path, emptying an existing one, for reading and
// writing. Windows opens it without sharing, so no other program can open it
// while the engine runs; POSIX appends each write at the end, so entries of
// two threads never overwrite each other. kNoFile on failure.
Handle CreateLogFile(const char* path);

// Writes all bytes to a file or console handle; failures are ignored.
void WriteBytes(Handle file, const void* data, std::size_t size);

void CloseLogFile(Handle file);

}  // namespace cecp::platform
