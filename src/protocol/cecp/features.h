// The "feature" lines of protocol version 2: "feature NAME=VALUE ...", with
// string values in double quotes, integers and booleans (0, 1) bare.
#pragma once

#include <cstddef>

namespace cecp {

constexpr std::size_t kFeatureNameSize = 64;
constexpr std::size_t kFeatureValueSize = 512;

// One feature as read: its name and value, each cut to its buffer; a quoted
// value without its quotes.
struct Feature {
    char name[kFeatureNameSize];
    char value[kFeatureValueSize];
    bool hasValue;
};

// True for a line that announces features.
bool IsFeatureLine(const char* line);

// Reads the features of a feature line one after another. Whatever the line
// holds, it never reads past the line's end nor writes past a buffer: a
// quote left open runs to the line's end, a word without '=' is a name
// without value, a word that starts with '=' is skipped.
class FeatureReader {
public:
    explicit FeatureReader(const char* line);
    // The next feature; false at the line's end.
    bool Next(Feature* out);

private:
    const char* at_;
};

// The value as a boolean: true for a number other than 0.
bool FeatureOn(const char* value);
inline bool FeatureOn(const Feature& feature) { return FeatureOn(feature.value); }

}  // namespace cecp
