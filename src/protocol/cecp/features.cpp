#include "protocol/cecp/features.h"

#include <cstring>

#include "host/fixed_text.h"

namespace cecp {
namespace {

constexpr char kKeyword[] = "feature";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool IsFeatureLine(const char* line) {
    while (IsBlank(*line)) ++line;
    return std::strncmp(line, kKeyword, sizeof kKeyword - 1) == 0 && IsBlank(line[sizeof kKeyword - 1]);
}

FeatureReader::FeatureReader(const char* line) : at_(line) {
    while (IsBlank(*at_)) ++at_;
    if (std::strncmp(at_, kKeyword, sizeof kKeyword - 1) == 0) at_ += sizeof kKeyword - 1;
}

bool FeatureReader::Next(Feature* out) {
    for (;;) {
        at_ += std::strspn(at_, " \t");
        if (*at_ == '\0') return false;
        const std::size_t nameLength = std::strcspn(at_, "= \t");
        CopyText(out->name, sizeof out->name, at_, nameLength);
        at_ += nameLength;
        out->hasValue = *at_ == '=';
        const char* value = at_;
        std::size_t valueLength = 0;
        if (out->hasValue) {
            ++at_;
            const bool quoted = *at_ == '"';
            if (quoted) ++at_;
            value = at_;
            valueLength = std::strcspn(at_, quoted ? "\"" : " \t");
            at_ += valueLength;
            if (quoted && *at_ == '"') ++at_;
        }
        CopyText(out->value, sizeof out->value, value, valueLength);
        if (nameLength > 0) return true;
    }
}

bool FeatureOn(const char* value) {
    const char* at = value;
    if (*at == '+' || *at == '-') ++at;
    bool digits = false, nonZero = false;
    for (; *at >= '0' && *at <= '9'; ++at) {
        digits = true;
        nonZero = nonZero || *at != '0';
    }
    return digits && nonZero;
}

}  // namespace cecp
