// The settings reader on arbitrary .init files, read from memory. A value
// never leaves its buffer (allocated at its exact size), ends at the length
// returned, is the start of the same value read into a larger buffer, whole
// in one with room to spare, and found by its names in other case; a
// section's list is cut as the Win32 reader cuts it; an open's reads leave
// its texts terminated and its switches following their values.
//
// Input: the file. Its length chooses what is read: length % 4 is 0 for an
// open's reads, 1 for CommandLine, 2 for PonderMode, 3 for the section
// Options. The fuzzer finds the names through the comparisons it traces.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine_config.h"
#include "host/info_block.h"
#include "platform/profile.h"

extern "C" std::int32_t CECP_CALL Func3(std::uint32_t, std::uint32_t, std::uint32_t, void*) { return 0; }

namespace {

constexpr char kPath[] = "engine.init";  // never opened: its reads answer from the input
std::string_view g_text;

std::string_view TextOfPath(const char* path) {
    if (std::strcmp(path, kPath) != 0) std::abort();
    return g_text;
}

// Room for any value or list of the text.
std::size_t Roomy() { return g_text.size() + 3; }

// The buffer sizes at which n bytes are cut, or just not: none, one and two
// bytes, n to n + 2 (a quoted value needs a byte more than it shows), and
// the module's own limits where they cut.
std::vector<std::size_t> Boundaries(std::size_t n) {
    std::vector<std::size_t> sizes = {0, 1, 2};
    for (std::size_t size : {n, n + 1, n + 2, cecp::kShortSettingLimit + 1, cecp::kLongSettingLimit + 1})
        if (size > 2 && size <= n + 2) sizes.push_back(size);
    return sizes;
}

// Reads the value, or with section alone the section's list, into a buffer of
// exactly size bytes (not zeroed, so that an unended text shows); returns
// the buffer's bytes and the length returned.
std::string Read(const char* section, const char* key, std::size_t size, std::size_t* length) {
    const std::unique_ptr<char[]> out(new char[size]);
    std::memset(out.get(), 0x5a, size);
    *length = key != nullptr ? cecp::platform::ProfileStringOfText(g_text, section, key, out.get(), size)
                             : cecp::platform::ProfileSectionOfText(g_text, section, out.get(), size);
    return std::string(out.get(), size);
}

std::string Value(const char* section, const char* key, std::size_t size) {
    std::size_t length = 0;
    const std::string bytes = Read(section, key, size, &length);
    if (size == 0 ? length != 0 : length >= size || bytes[length] != '\0') std::abort();
    return bytes.substr(0, length);
}

// Reads section/key with room to spare and at every size that cuts it, and
// by its names in other case, which are matched without regard to it.
void Probe(const char* section, const char* key, const char* otherSection, const char* otherKey) {
    const std::string full = Value(section, key, Roomy());
    for (std::size_t size : Boundaries(full.size())) {
        const std::string part = Value(section, key, size);
        if (full.compare(0, part.size(), part) != 0 || part.size() > full.size()) std::abort();
        // Room for the value and one byte more always gets all of it (a quoted
        // value may need that byte: the Win32 reader drops a character there).
        if (size >= full.size() + 2 && part != full) std::abort();
    }
    if (Value(otherSection, otherKey, Roomy()) != full) std::abort();
}

// The list with room to spare, and at every size that cuts it and one in its
// middle: room to spare gets the whole list; any other buffer is cut as the
// Win32 reader cuts it, the whole list's bytes up to its last two, both NULs,
// its length given as size - 2.
void ProbeSection(const char* section) {
    std::size_t length = 0;
    std::string full = Read(section, nullptr, Roomy(), &length);
    if (length + 1 >= full.size() || full[length] != '\0' || full[length == 0 ? 1 : length - 1] != '\0')
        std::abort();
    full.resize(length + 1);
    std::vector<std::size_t> sizes = Boundaries(full.size());
    sizes.push_back(full.size() / 2 + 1);
    for (std::size_t size : sizes) {
        const std::string part = Read(section, nullptr, size, &length);
        if (size < 2 ? length != 0 || (size == 1 && part[0] != '\0')
            : size > full.size() ? length + 1 != full.size() || part.compare(0, full.size(), full) != 0
                                 : length != size - 2 || part.compare(0, size - 2, full, 0, size - 2) != 0 ||
                                       part[size - 2] != '\0' || part[size - 1] != '\0')
            std::abort();
    }
}

// What an open reads.
void ReadAsAnOpen() {
    cecp::EngineConfig config;
    cecp::ReadEngineConfig(kPath, &config);
    for (const auto& text : {std::string_view(config.commandLine, sizeof config.commandLine),
                             std::string_view(config.author, sizeof config.author),
                             std::string_view(config.engine, sizeof config.engine)})
        if (text.find('\0') == std::string_view::npos) std::abort();
    // The switches follow their values.
    if (config.analyzeMode != cecp::IsSwitchOn(Value("Support", "AnalyzeMode", cecp::kLongSettingLimit + 1).c_str()))
        std::abort();
    // A value may hold NUL bytes of the file; the module's texts end at the first.
    const std::string engine = Value("Parameter", "Engine", cecp::kShortSettingLimit + 1);
    if (config.engine != engine.substr(0, engine.find('\0'))) std::abort();
    cecp::ReadDebugSwitch(kPath);
    cecp::ReadLogfileSwitch(kPath);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    cecp::platform::SetProfileTextOfPath(TextOfPath);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    g_text = std::string_view(reinterpret_cast<const char*>(data), size);
    switch (size % 4) {
    case 0: ReadAsAnOpen(); break;
    case 1: Probe("Parameter", "CommandLine", "PARAMETER", "commandLINE"); break;
    case 2: Probe("Support", "PonderMode", "support", "PONDERmode"); break;
    default: ProbeSection("Options"); break;
    }
    return 0;
}
