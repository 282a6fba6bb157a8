// The options an engine announces, and the settings' options sent to it.
#pragma once

#include <cstddef>

namespace cecp {

// The names of the options an engine announced, kept in a fixed buffer
// (names beyond its room are not kept).
class OptionNames {
public:
    void Clear() { length_ = 0; }
    void Add(const char* name, std::size_t length);
    bool Has(const char* name) const;

private:
    char names_[4096] = {};  // each name ended by a NUL
    std::size_t length_ = 0;
};

// Sends the settings' engine options, each through format (with two %s: the
// name and the value), and notes in the log every name the engine did not
// announce; such an option is sent all the same.
void SendSettingsOptions(const OptionNames& announced, const char* format);

}  // namespace cecp
