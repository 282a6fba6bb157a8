#include "protocol/engine_options.h"

#include <cstdio>
#include <cstring>

#include "engine/echo.h"
#include "engine/engine_config.h"
#include "engine/engine_settings.h"
#include "engine/transport.h"

namespace cecp {
namespace {

struct Sending {
    const OptionNames* announced;
    const char* format;
};

void SendOne(const char* name, const char* value, void* context) {
    const Sending& sending = *static_cast<const Sending*>(context);
    if (!sending.announced->Has(name)) {
        char note[160];
        std::snprintf(note, sizeof note, "the engine did not announce the option %.64s; it is sent all the same",
                      name);
        LogNote(note);
    }
    char command[2 * kOptionsTextSize + 64];
    std::snprintf(command, sizeof command, sending.format, name, value);
    SendCommand(command);
}

}  // namespace

void OptionNames::Add(const char* name, std::size_t length) {
    if (length == 0 || length_ + length + 1 > sizeof names_) return;
    std::memcpy(names_ + length_, name, length);
    length_ += length;
    names_[length_++] = '\0';
}

bool OptionNames::Has(const char* name) const {
    for (std::size_t at = 0; at < length_; at += std::strlen(names_ + at) + 1) {
        if (std::strcmp(names_ + at, name) == 0) return true;
    }
    return false;
}

void SendSettingsOptions(const OptionNames& announced, const char* format) {
    Sending sending{&announced, format};
    ForEachEngineOption(g_settings.engineOptions, SendOne, &sending);
}

}  // namespace cecp
