// Reading engine lines: numbers, words and literals as formatted input reads
// them, never past the line's end and never into a buffer's last byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "host/fixed_text.h"

namespace cecp {

// White space as formatted input knows it, one character or a span of them.
inline bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
constexpr char kSpaces[] = " \t\n\r\v\f";

// A reading position in a line, with the conversions of formatted input:
// numbers skip leading white space, take an optional sign and decimal digits.
class Scanner {
public:
    explicit Scanner(const char* at) : at_(at) {}

    void SkipSpace() { at_ += std::strspn(at_, kSpaces); }
    // A decimal number; values beyond the range are held at its ends.
    bool Number(std::int64_t* out, std::int64_t low, std::int64_t high) {
        SkipSpace();
        const char* p = at_;
        bool negative = false;
        if (*p == '+' || *p == '-') negative = *p++ == '-';
        if (*p < '0' || *p > '9') return false;
        std::int64_t value = 0;
        const std::int64_t limit = negative ? -low : high;
        for (; *p >= '0' && *p <= '9'; ++p) {
            int digit = *p - '0';
            value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
        }
        at_ = p;
        *out = negative ? -value : value;
        return true;
    }
    bool Int(std::int32_t* out) {
        std::int64_t value = 0;
        if (!Number(&value, INT32_MIN, INT32_MAX)) return false;
        *out = static_cast<std::int32_t>(value);
        return true;
    }
    bool Int64(std::int64_t* out) { return Number(out, INT64_MIN + 1, INT64_MAX); }
    // The very next character, white space included.
    bool Char(char* out) {
        if (*at_ == '\0') return false;
        *out = *at_++;
        return true;
    }
    // The rest of the line, cut to the buffer; false when nothing is left.
    bool Rest(char* out, std::size_t size) {
        if (*at_ == '\0') return false;
        CopyText(out, size, at_);
        return true;
    }
    // A run of non-blank characters, cut to the buffer.
    bool Word(char* out, std::size_t size) {
        SkipSpace();
        const char* end = at_ + std::strcspn(at_, kSpaces);
        if (end == at_) return false;
        CopyText(out, size, at_, static_cast<std::size_t>(end - at_));
        at_ = end;
        return true;
    }
    // What is left of the line.
    const char* Here() const { return at_; }
    bool Literal(const char* text) {
        std::size_t length = std::strlen(text);
        if (std::strncmp(at_, text, length) != 0) return false;
        at_ += length;
        return true;
    }

private:
    const char* at_;
};

}  // namespace cecp
