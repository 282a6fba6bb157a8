// Bounded copies into the fixed, NUL-terminated text buffers of the state.
#pragma once

#include <cstddef>
#include <cstring>

namespace cecp {

// Copies the length characters at text into out (size bytes), cutting them
// to size - 1 characters.
inline void CopyText(char* out, std::size_t size, const char* text, std::size_t length) {
    if (size == 0) return;
    if (length >= size) length = size - 1;
    std::memmove(out, text, length);
    out[length] = '\0';
}

// Copies text into out (size bytes), cutting it to size - 1 characters.
inline void CopyText(char* out, std::size_t size, const char* text) {
    CopyText(out, size, text, std::strlen(text));
}

template <std::size_t N>
void CopyText(char (&out)[N], const char* text) {
    CopyText(out, N, text);
}

}  // namespace cecp
