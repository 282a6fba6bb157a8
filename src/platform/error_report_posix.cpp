#include "platform/error_report.h"

#include <cstdio>

namespace cecp::platform {

void ShowError(const char* caption, const char* text) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
}

}  // namespace cecp::platform
