#include <windows.h>

#include <cstdio>

#include "platform/process.h"

namespace cecp::platform {
namespace {

HANDLE AsHandle(Handle h) { return reinterpret_cast<HANDLE>(h); }

constexpr std::size_t kCommandLineBytes = 1024;

}  // namespace

Handle StartProcess(const ProcessStart& start, int* error) {
    *error = 0;
    // The quoted executable, one blank, then the arguments as written.
    char commandLine[kCommandLineBytes];
    int length = std::snprintf(commandLine, sizeof commandLine, "\"%s\" %s", start.executable, start.arguments);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof commandLine) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return kNoProcess;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = AsHandle(start.standardInput);
    startup.hStdOutput = AsHandle(start.standardOutput);
    startup.hStdError = AsHandle(start.standardOutput);
    PROCESS_INFORMATION info{};
    // The engine gets its own working directory; the host keeps its own.
    const char* directory = start.workingDirectory[0] != '\0' ? start.workingDirectory : nullptr;
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, TRUE,
                        CREATE_SUSPENDED | DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, directory, &startup,
                        &info)) {
        *error = static_cast<int>(GetLastError());
        return kNoProcess;
    }
    SetThreadPriority(info.hThread, THREAD_PRIORITY_BELOW_NORMAL);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    return reinterpret_cast<Handle>(info.hProcess);
}

bool WaitProcess(Handle process, int milliseconds) {
    if (process == kNoProcess) return true;
    return WaitForSingleObject(AsHandle(process), static_cast<DWORD>(milliseconds)) != WAIT_TIMEOUT;
}

void EndProcess(Handle process) {
    if (process != kNoProcess) TerminateProcess(AsHandle(process), 1);
}

void ReapProcess(Handle) {}

void CloseProcess(Handle process) {
    if (process != kNoProcess) CloseHandle(AsHandle(process));
}

}  // namespace cecp::platform
