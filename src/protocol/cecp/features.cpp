#include "protocol/cecp/features.h"

#include <cstring>

namespace cecp {
namespace {

constexpr char kKeyword[] = "feature";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Appends c to a buffer of size bytes at *length, dropping what no longer fits.
void Append(char* buffer, std::size_t size, std::size_t* length, char c) {
    if (*length + 1 < size) buffer[(*length)++] = c;
}

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
        while (IsBlank(*at_)) ++at_;
        if (*at_ == '\0') return false;
        std::size_t nameLength = 0, valueLength = 0;
        while (*at_ != '\0' && *at_ != '=' && !IsBlank(*at_)) Append(out->name, sizeof out->name, &nameLength, *at_++);
        out->name[nameLength] = '\0';
        out->hasValue = *at_ == '=';
        if (out->hasValue) {
            ++at_;
            if (*at_ == '"') {
                ++at_;
                while (*at_ != '\0' && *at_ != '"') Append(out->value, sizeof out->value, &valueLength, *at_++);
                if (*at_ == '"') ++at_;
            } else {
                while (*at_ != '\0' && !IsBlank(*at_)) Append(out->value, sizeof out->value, &valueLength, *at_++);
            }
        }
        out->value[valueLength] = '\0';
        if (nameLength > 0) return true;
    }
}

bool FeatureOn(const Feature& feature) {
    const char* at = feature.value;
    if (*at == '+' || *at == '-') ++at;
    bool digits = false, nonZero = false;
    for (; *at >= '0' && *at <= '9'; ++at) {
        digits = true;
        nonZero = nonZero || *at != '0';
    }
    return digits && nonZero;
}

}  // namespace cecp
