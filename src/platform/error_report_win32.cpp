#include "platform/error_report.h"

#include <windows.h>

#include <cstdio>

namespace cecp::platform {

void ShowError(const char* caption, const char* text) {
    MessageBoxA(nullptr, text, caption, MB_OK);
}

int LastErrorCode() { return static_cast<int>(GetLastError()); }

void ErrorText(int code, char* out, std::size_t size) {
    if (size == 0) return;
    out[0] = '\0';
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                  static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), out,
                                  static_cast<DWORD>(size), nullptr);
    if (length == 0) std::snprintf(out, size, "error %d", code);
}

}  // namespace cecp::platform
