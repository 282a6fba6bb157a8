#include "platform/process.h"

namespace cecp::platform {

int SplitCommandLine(const char* line, char* out, std::size_t size) {
    std::size_t used = 0;
    int words = 0;
    auto put = [&](char c) {
        if (used >= size) return false;
        out[used++] = c;
        return true;
    };
    const char* p = line;
    for (;;) {
        while (*p == ' ' || *p == '\t') ++p;
        if (*p == '\0') return words;
        bool quoted = false;
        while (*p != '\0' && (quoted || (*p != ' ' && *p != '\t'))) {
            if (*p == '\\') {
                std::size_t slashes = 0;
                while (*p == '\\') {
                    ++slashes;
                    ++p;
                }
                if (*p == '"') {
                    for (std::size_t i = 0; i < slashes / 2; ++i) {
                        if (!put('\\')) return -1;
                    }
                    if (slashes % 2 == 1) {
                        if (!put('"')) return -1;
                        ++p;
                    }
                } else {
                    for (std::size_t i = 0; i < slashes; ++i) {
                        if (!put('\\')) return -1;
                    }
                }
            } else if (*p == '"') {
                quoted = !quoted;
                ++p;
            } else {
                if (!put(*p)) return -1;
                ++p;
            }
        }
        if (!put('\0')) return -1;
        ++words;
    }
}

}  // namespace cecp::platform
