#include <process.h>
#include <windows.h>

#include <cerrno>
#include <new>

#include "platform/thread.h"

namespace cecp::platform {
namespace {

struct Start {
    ThreadBody body;
    void* argument;
};

unsigned __stdcall Run(void* raw) {
    Start start = *static_cast<Start*>(raw);
    delete static_cast<Start*>(raw);
    start.body(start.argument);
    return 0;
}

}  // namespace

// _beginthreadex rather than _beginthread: its handle stays valid after the
// thread has ended, so the shutdown can wait for the thread to be gone.
Handle StartThread(ThreadBody body, void* argument, std::size_t stackSize, int* error) {
    *error = 0;
    auto* start = new (std::nothrow) Start{body, argument};
    if (start == nullptr) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return kNoThread;
    }
    uintptr_t thread = _beginthreadex(nullptr, static_cast<unsigned>(stackSize), Run, start, 0, nullptr);
    if (thread == 0) {
        *error = static_cast<int>(GetLastError());
        if (*error == 0) *error = ERROR_NOT_ENOUGH_MEMORY;
        delete start;
        return kNoThread;
    }
    return static_cast<Handle>(thread);
}

void JoinThread(Handle thread) {
    if (thread == kNoThread) return;
    WaitForSingleObject(reinterpret_cast<HANDLE>(thread), INFINITE);
    CloseHandle(reinterpret_cast<HANDLE>(thread));
}

void LowerThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

void SleepMilliseconds(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

void YieldTimeSlice() { Sleep(0); }

}  // namespace cecp::platform
