#include <windows.h>

#include "platform/console.h"

namespace cecp::platform {

Handle OpenDebugConsole(const char* title, bool* allocated) {
    *allocated = AllocConsole() != FALSE;
    if (!*allocated) return kNoFile;
    HANDLE buffer =
        CreateConsoleScreenBuffer(GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (buffer == INVALID_HANDLE_VALUE) {
        FreeConsole();
        *allocated = false;
        return kNoFile;
    }
    SetConsoleActiveScreenBuffer(buffer);
    if (title[0] != '\0') SetConsoleTitleA(title);
    return reinterpret_cast<Handle>(buffer);
}

void CloseConsoleBuffer(Handle buffer) {
    if (buffer != kNoFile) CloseHandle(reinterpret_cast<HANDLE>(buffer));
}

void FreeDebugConsole() { FreeConsole(); }

}  // namespace cecp::platform
