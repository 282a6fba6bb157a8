// The reader thread's record: the read end of the engine's output pipe and
// the buffer in which that output is framed into lines.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/handle.h"

namespace cecp {

constexpr int kReadBufferSize = 4096;

// What receives each line of engine output: the open engine's dialect (or
// what a test puts here).
using LineHandler = void (*)(const char* line);

struct ReaderContext {
    platform::Handle pipeRead = platform::kNoPipe;
    // The engine, watched while waiting for its output: its end is the end
    // of the stream even though the module's own write end keeps the pipe.
    platform::Handle process = platform::kNoProcess;
    std::atomic<std::int32_t> keepReading{0};
    // The unfinished last line, then what the current read brings; one byte
    // more for the terminating NUL.
    char readBuffer[kReadBufferSize + 1] = {};
    std::int32_t writePos = 0;  // offset into readBuffer where the next read appends
    // Outcome of the last read: bytes delivered (> 0), 0 at the end of the
    // stream, -1 after any other failure or an empty read.
    std::int32_t readCount = 0;
    // A line too long for the buffer has just been handed on in part: if the
    // line ends right there, no empty line follows it.
    std::int32_t cutPending = 0;
    // The last byte the previous read delivered, as received (-1 before the
    // first): a run of line-end bytes split between two reads folds as it
    // would in one.
    std::int32_t lastReceived = -1;
    LineHandler handLine = nullptr;
    // Called once the output has ended (the engine has ended), after its last
    // line was handed on.
    void (*handEnd)() = nullptr;
};

}  // namespace cecp
