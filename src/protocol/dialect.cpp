#include "protocol/dialect.h"

#include <cstring>

#include "host/adapter_state.h"

namespace cecp {

extern const Dialect kClassicDialect;
extern const Dialect kProtocol2Dialect;
extern const Dialect kUciDialect;

namespace {

struct NamedDialect {
    const char* value;
    const Dialect* dialect;
};

constexpr NamedDialect kDialects[] = {
    {"", &kClassicDialect},
    {"1", &kClassicDialect},
    {"2", &kProtocol2Dialect},
    {"uci", &kUciDialect},
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

const Dialect* DialectNamed(const char* value) {
    while (IsBlank(*value)) ++value;
    std::size_t length = std::strlen(value);
    while (length > 0 && IsBlank(value[length - 1])) --length;
    for (const NamedDialect& named : kDialects) {
        if (std::strlen(named.value) != length) continue;
        std::size_t i = 0;
        while (i < length && AsciiLower(value[i]) == named.value[i]) ++i;
        if (i == length) return named.dialect;
    }
    return nullptr;
}

const Dialect& OpenDialect() {
    const Dialect* dialect = g_state.dialect.load();
    return dialect != nullptr ? *dialect : kClassicDialect;
}

}  // namespace cecp
