#include <windows.h>

#include <atomic>
#include <cstdio>

#include "platform/pipe.h"

namespace cecp::platform {
namespace {

HANDLE AsHandle(Handle h) { return reinterpret_cast<HANDLE>(h); }
Handle FromHandle(HANDLE h) { return reinterpret_cast<Handle>(h); }

// Big enough that a flooding engine is not held up by every 4 KB.
constexpr DWORD kOutputPipeBuffer = 65536;

// An anonymous pipe cannot be waited on together with a process, so the
// output pipe is a named pipe: its server end, opened for overlapped reads,
// stays here, and its client end, opened for plain writes, is the child's.
bool CreateWaitablePipe(bool childWrites, PipeEnds* out) {
    static std::atomic<unsigned long> counter{0};
    char name[96];
    std::snprintf(name, sizeof name, "\\\\.\\pipe\\cecp-adapter-%lu-%lu-%lu",
                  static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<unsigned long>(GetTickCount()), counter.fetch_add(1));
    HANDLE read = CreateNamedPipeA(name, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                   PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 0, kOutputPipeBuffer, 0,
                                   nullptr);
    if (read == INVALID_HANDLE_VALUE) return false;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, childWrites ? TRUE : FALSE};
    HANDLE write = CreateFileA(name, GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (write == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        CloseHandle(read);
        SetLastError(error);
        return false;
    }
    out->read = FromHandle(read);
    out->write = FromHandle(write);
    return true;
}

}  // namespace

bool CreatePipeEnds(PipeEnds* out) {
    *out = PipeEnds{};
    return CreateWaitablePipe(false, out);
}

bool CreateOutputPipe(PipeEnds* out) {
    *out = PipeEnds{};
    return CreateWaitablePipe(true, out);
}

bool CreateInputPipe(PipeEnds* out) {
    *out = PipeEnds{};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(&read, &write, &inherit, 0)) return false;
    // Only the child's end is inherited.
    if (!SetHandleInformation(write, HANDLE_FLAG_INHERIT, 0)) {
        DWORD error = GetLastError();
        CloseHandle(read);
        CloseHandle(write);
        SetLastError(error);
        return false;
    }
    // The module's end does not wait for room (see WritePipeWithin).
    DWORD mode = PIPE_READMODE_BYTE | PIPE_NOWAIT;
    if (!SetNamedPipeHandleState(write, &mode, nullptr, nullptr)) {
        DWORD error = GetLastError();
        CloseHandle(read);
        CloseHandle(write);
        SetLastError(error);
        return false;
    }
    out->read = FromHandle(read);
    out->write = FromHandle(write);
    return true;
}

Handle DuplicatePipeEnd(Handle pipe) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), AsHandle(pipe), GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        return kNoPipe;
    }
    return FromHandle(copy);
}

bool WritePipe(Handle pipe, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        DWORD written = 0;
        DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        if (!WriteFile(AsHandle(pipe), bytes, chunk, &written, nullptr) || written == 0) return false;
        bytes += written;
        size -= written;
    }
    return true;
}

WriteOutcome WritePipeWithin(Handle pipe, const void* data, std::size_t size, int milliseconds) {
    const char* bytes = static_cast<const char*>(data);
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(milliseconds < 0 ? 0 : milliseconds);
    while (size > 0) {
        DWORD written = 0;
        DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        // Without waiting, a full pipe takes what fits, perhaps nothing.
        if (!WriteFile(AsHandle(pipe), bytes, chunk, &written, nullptr)) return WriteOutcome::kFailed;
        bytes += written;
        size -= written;
        if (size == 0) break;
        if (GetTickCount64() >= deadline) return WriteOutcome::kTimedOut;
        if (written == 0) Sleep(1);
    }
    return WriteOutcome::kWritten;
}

long ReadPipe(Handle pipe, void* buffer, std::size_t size, Handle process) {
    HANDLE h = AsHandle(pipe);
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (overlapped.hEvent == nullptr) return -1;
    DWORD ask = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD got = 0;
    long result = -1;
    bool ended = false;
    if (!ReadFile(h, buffer, ask, nullptr, &overlapped)) {
        DWORD error = GetLastError();
        if (error == ERROR_BROKEN_PIPE) {
            CloseHandle(overlapped.hEvent);
            return 0;
        }
        if (error != ERROR_IO_PENDING) {
            CloseHandle(overlapped.hEvent);
            return -1;
        }
        // The read's event comes first: data that the process wrote before
        // it ended has completed the read by the time its end is signalled.
        HANDLE waits[2] = {overlapped.hEvent, AsHandle(process)};
        DWORD which = WaitForMultipleObjects(process != kNoProcess ? 2 : 1, waits, FALSE, INFINITE);
        if (which != WAIT_OBJECT_0) {
            ended = true;
            CancelIo(h);
        }
    }
    if (GetOverlappedResult(h, &overlapped, &got, TRUE)) {
        result = got > 0 ? static_cast<long>(got) : -1;
    } else {
        DWORD error = GetLastError();
        if (error == ERROR_BROKEN_PIPE || (ended && error == ERROR_OPERATION_ABORTED)) result = 0;
    }
    CloseHandle(overlapped.hEvent);
    return result;
}

void ClosePipe(Handle pipe) {
    if (pipe != kNoPipe) CloseHandle(AsHandle(pipe));
}

}  // namespace cecp::platform
