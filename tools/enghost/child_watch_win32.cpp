#include <windows.h>
#include <tlhelp32.h>

#include "child_watch.h"

namespace enghost {

std::set<long> ChildProcesses() {
    std::set<long> children;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return children;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ParentProcessID == self) children.insert(static_cast<long>(entry.th32ProcessID));
    CloseHandle(snapshot);
    return children;
}

ChildProcess::ChildProcess(long id) : id_(id) {
    // Held from now on, the handle keeps the id from going to another process.
    handle_ = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                          static_cast<DWORD>(id));
}

ChildProcess::~ChildProcess() {
    if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
}

bool ChildProcess::Alive() const {
    return handle_ != nullptr && WaitForSingleObject(static_cast<HANDLE>(handle_), 0) == WAIT_TIMEOUT;
}

long long ChildProcess::CpuMilliseconds() const {
    FILETIME created, ended, kernel, user;
    if (handle_ == nullptr || !GetProcessTimes(static_cast<HANDLE>(handle_), &created, &ended, &kernel, &user))
        return -1;
    auto value = [](const FILETIME& time) {
        return (static_cast<long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return (value(kernel) + value(user)) / 10000;  // from 100 ns
}

// A Windows engine's own children are not tracked.
void ChildProcess::EndLeftovers() {}

void ChildProcess::Kill() {
    if (Alive()) TerminateProcess(static_cast<HANDLE>(handle_), 1);
}

}  // namespace enghost
