// Anonymous pipes between the module and the engine.
//
// The read end that the module keeps of the engine's output pipe can be
// waited on together with the engine's process, so that the reader learns of
// an engine that has died even while the module's own write end keeps the
// pipe open. On Windows that end is the overlapped server end of a named pipe
// with a unique name; on POSIX every pipe is an ordinary one. All descriptors
// are close-on-exec and never 0 to 2 on POSIX; on Windows only the end meant
// for the child is inheritable.
#pragma once

#include <cstddef>

#include "platform/handle.h"

namespace cecp::platform {

struct PipeEnds {
    Handle read = kNoPipe;
    Handle write = kNoPipe;
};

// A pipe whose two ends stay in this process; its read end is one ReadPipe
// can wait on with a process.
bool CreatePipeEnds(PipeEnds* out);

// A child's standard input: the read end is for the child (inheritable on
// Windows), the write end stays here and does not block (see WritePipeWithin).
bool CreateInputPipe(PipeEnds* out);

// A child's standard output and error: the write end is for the child
// (inheritable on Windows), the read end stays here and ReadPipe can wait on
// it with the child's process.
bool CreateOutputPipe(PipeEnds* out);

// A copy of a pipe end that is not inherited; kNoPipe on failure.
Handle DuplicatePipeEnd(Handle pipe);

// Writes all bytes; false when the pipe is gone. Never raises a signal for a
// pipe without reader.
bool WritePipe(Handle pipe, const void* data, std::size_t size);

enum class WriteOutcome { kWritten, kTimedOut, kFailed };

// The same for the engine's input, which an engine that has stopped reading
// lets fill up: waits at most milliseconds for room (0: only what fits now),
// then gives up. Needs the write end that CreateInputPipe made.
WriteOutcome WritePipeWithin(Handle pipe, const void* data, std::size_t size, int milliseconds);

// Waits for bytes. Returns the number read (> 0), 0 at the end of the stream
// (no writer is left, or process has ended and nothing it wrote is left), -1
// on any other failure or an empty read. With process kNoProcess only the
// pipe is watched.
long ReadPipe(Handle pipe, void* buffer, std::size_t size, Handle process = kNoProcess);

void ClosePipe(Handle pipe);

// Closes a pipe end when it goes out of scope, unless released.
class PipeOwner {
public:
    PipeOwner() = default;
    explicit PipeOwner(Handle pipe) : pipe_(pipe) {}
    ~PipeOwner() { Reset(); }
    PipeOwner(const PipeOwner&) = delete;
    PipeOwner& operator=(const PipeOwner&) = delete;
    Handle get() const { return pipe_; }
    Handle* out() { return &pipe_; }
    Handle release() {
        Handle pipe = pipe_;
        pipe_ = kNoPipe;
        return pipe;
    }
    void Reset() {
        if (pipe_ != kNoPipe) ClosePipe(pipe_);
        pipe_ = kNoPipe;
    }

private:
    Handle pipe_ = kNoPipe;
};

}  // namespace cecp::platform
