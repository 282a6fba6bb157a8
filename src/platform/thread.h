// The reader thread and the pauses of the shutdown.
#pragma once

#include <cstddef>

#include "platform/handle.h"

namespace cecp::platform {

using ThreadBody = void (*)(void* argument);

// The stack the reader thread asks for. Sanitizers need far more than the
// thread itself does, so their builds ask for more.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::size_t kReaderStackSize = 1 << 20;
#else
constexpr std::size_t kReaderStackSize = 32768;
#endif

// Starts body(argument) on a new thread with a stack of stackSize bytes (the
// C run-time's thread start on Windows). Returns a handle to join, or
// kNoThread with the system's error code in *error.
constexpr Handle kNoThread = 0;
Handle StartThread(ThreadBody body, void* argument, std::size_t stackSize, int* error);

// Waits for the thread to end and releases its handle.
void JoinThread(Handle thread);

// Lowers the calling thread one step below normal priority (Windows:
// THREAD_PRIORITY_BELOW_NORMAL; POSIX: one step of niceness).
void LowerThreadPriority();

void SleepMilliseconds(int milliseconds);

// Gives up the rest of the thread's time slice.
void YieldTimeSlice();

}  // namespace cecp::platform
