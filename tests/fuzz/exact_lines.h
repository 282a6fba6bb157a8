// For the targets that hand an engine's lines to a reader: each line as a C
// string whose every neighbouring byte is poisoned, so that a read past its
// end is caught (a string's spare capacity would hide it), and now and then
// the input's text as one line of 100 KB.
#pragma once

#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace cecp::fuzz {

// Calls read(line) for every line of text (up to each line feed, and the
// rest after the last); a NUL byte in a line ends it, as it ends the
// module's texts. Each line lies at the start of one buffer kept for the
// run, poisoned but for the line and its NUL.
template <typename Read>
void ForEachLine(std::string_view text, Read read) {
    static char* buffer = nullptr;
    static std::size_t capacity = 0;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::size_t length = end - start;
        if (length + 1 > capacity) {
            delete[] buffer;
            capacity = std::max<std::size_t>(length + 1, 2 * capacity);
            buffer = new char[capacity];
            ASAN_POISON_MEMORY_REGION(buffer, capacity);
        }
        ASAN_UNPOISON_MEMORY_REGION(buffer, length + 1);
        std::memcpy(buffer, text.data() + start, length);
        buffer[length] = '\0';
        read(static_cast<const char*>(buffer));
        ASAN_POISON_MEMORY_REGION(buffer, length + 1);
        start = end + 1;
    }
}

// The text as it is, or for one input in 512 (those whose bytes add up to a
// multiple of 512, which the fuzzer cannot steer, so that they stay few)
// repeated into one line of 100 KB, its line feeds made blanks.
inline std::string_view MaybeLong(const std::uint8_t* data, std::size_t size, std::string_view text) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum += data[i];
    if (text.empty() || sum % 512 != 0) return text;
    static std::string repeated;
    repeated.clear();
    while (repeated.size() < 100 * 1024) repeated += text;
    std::replace(repeated.begin(), repeated.end(), '\n', ' ');
    return repeated;
}

}  // namespace cecp::fuzz
