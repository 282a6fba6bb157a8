// Anonymous pipes between the module and the engine.
#pragma once

#include <cstddef>

#include "platform/handle.h"

namespace cecp::platform {

struct PipeEnds {
    Handle read = kNoPipe;
    Handle write = kNoPipe;
};

// Creates a pipe whose two ends are not inherited by child processes.
bool CreatePipeEnds(PipeEnds* out);

// Writes all bytes in one write; false when the pipe is gone. Never raises a
// signal for a pipe without reader.
bool WritePipe(Handle pipe, const void* data, std::size_t size);

// Waits for bytes. Returns the number read (> 0), 0 at the end of the stream
// (no writer is left), -1 on any other failure.
long ReadPipe(Handle pipe, void* buffer, std::size_t size);

void ClosePipe(Handle pipe);

}  // namespace cecp::platform
