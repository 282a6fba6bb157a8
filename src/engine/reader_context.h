// The reader thread's record: the read end of the engine's output pipe and
// the buffer in which that output is framed into lines.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/handle.h"

namespace cecp {

constexpr int kReadBufferSize = 4096;

struct ReaderContext {
    platform::Handle pipeRead = platform::kNoPipe;
    std::atomic<std::int32_t> keepReading{0};
    // The unfinished last line, then what the current read brings; one byte
    // more for the terminating NUL.
    char readBuffer[kReadBufferSize + 1] = {};
    std::int32_t writePos = 0;  // offset into readBuffer where the next read appends
    // Outcome of the last read: bytes delivered (> 0), 0 at the end of the
    // stream, -1 after any other failure or an empty read.
    std::int32_t readCount = 0;
};

}  // namespace cecp
