#include "platform/error_report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace cecp::platform {

void ShowError(const char* caption, const char* text) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
}

int LastErrorCode() { return errno; }

namespace {

// strerror_r comes in two kinds; both are answered here.
[[maybe_unused]] const char* Text(int result, const char* buffer) { return result == 0 ? buffer : nullptr; }
[[maybe_unused]] const char* Text(const char* result, const char*) { return result; }

}  // namespace

void ErrorText(int code, char* out, std::size_t size) {
    if (size == 0) return;
    char buffer[256] = {};
    const char* text = Text(strerror_r(code, buffer, sizeof buffer), buffer);
    if (text == nullptr || text[0] == '\0') {
        std::snprintf(out, size, "error %d", code);
    } else {
        std::snprintf(out, size, "%s", text);
    }
}

}  // namespace cecp::platform
