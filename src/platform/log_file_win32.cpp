#include <windows.h>

#include "platform/log_file.h"

namespace cecp::platform {

Handle CreateLogFile(const char* path) {
    // Others may read the log while the engine runs (a user's viewer, enghost
    // check); a second writer (the same engine opened twice) is kept out.
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    return file == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<Handle>(file);
}

void WriteBytes(Handle file, const void* data, std::size_t size) {
    if (file == kNoFile) return;
    DWORD written = 0;
    WriteFile(reinterpret_cast<HANDLE>(file), data, static_cast<DWORD>(size), &written, nullptr);
}

void CloseLogFile(Handle file) {
    if (file != kNoFile) CloseHandle(reinterpret_cast<HANDLE>(file));
}

}  // namespace cecp::platform
