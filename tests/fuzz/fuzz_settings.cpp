// The settings reader on arbitrary .init files, read from memory: the
// module's own reads at an open (ReadEngineConfig and the two debugging
// switches, whose reads of the file answer from the input's text), and
// values and sections, the module's and those the file names itself, read
// into buffers of every size at which they are cut.
//
// What must hold: a value never leaves its buffer (each is allocated at its
// exact size), it is NUL-terminated within its limit at the length returned,
// a value read into a smaller buffer is the start of the same value read
// into a larger one, a buffer with room to spare gets the whole value, and a
// name spelt in upper case finds the same value. A section's list of entries
// stays in its buffer too, ends in two NULs at the length returned (size - 2
// when the list was cut), and in a smaller buffer is the same list cut short.
// The module's reads leave its texts terminated, its switches following
// their values, and its engine name the value up to its first NUL.
//
// Input: the whole input is the settings file. Its length chooses what is
// read (every read scans the file, and instrumented scans are what the time
// goes on): length % 5 is 0 for the module's own reads, 1 for CommandLine, 2
// for PonderMode, 3 for the section Options, 4 for the file's own names:
// section i and key j, i = length / 5 % 4 and j = length / 20 % 4, counting
// the first three section headers and key names as written and the empty
// name last.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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

bool Terminated(const char* text, std::size_t room) { return std::memchr(text, '\0', room) != nullptr; }

// Room for any value or list of the text.
std::size_t Roomy() { return g_text.size() + 3; }

// The buffer sizes at which n bytes are cut, or just not: none, one and two
// bytes, n to n + 2 (a quoted value needs a byte more than it shows), and
// the module's own limits where they cut.
std::vector<std::size_t> Boundaries(std::size_t n) {
    std::vector<std::size_t> sizes = {0, 1, 2};
    for (std::size_t size : {n, n + 1, n + 2, cecp::kShortSettingLimit + 1, cecp::kLongSettingLimit + 1}) {
        if (size > 2 && size <= n + 2 && std::find(sizes.begin(), sizes.end(), size) == sizes.end()) {
            sizes.push_back(size);
        }
    }
    return sizes;
}

// Reads the value into a buffer of exactly size bytes; checks its bounds.
std::string Read(const char* section, const char* key, std::size_t size) {
    char* out = new char[size];
    std::memset(out, 0x5a, size);
    std::size_t length = cecp::platform::ProfileStringOfText(g_text, section, key, out, size);
    std::string value;
    if (size == 0) {
        if (length != 0) std::abort();
    } else {
        if (length >= size || out[length] != '\0') std::abort();
        value.assign(out, length);
    }
    delete[] out;
    return value;
}

bool IsPrefix(const std::string& part, const std::string& whole) {
    return part.size() <= whole.size() && whole.compare(0, part.size(), part) == 0;
}

// Reads section/key with room to spare and at every size that cuts it;
// returns the whole value.
std::string Probe(const char* section, const char* key) {
    const std::string full = Read(section, key, Roomy());
    for (std::size_t size : Boundaries(full.size())) {
        const std::string part = Read(section, key, size);
        if (!IsPrefix(part, full)) std::abort();
        // Room for the value and one byte more always gets all of it (a quoted
        // value may need that byte: the Win32 reader drops a character there).
        if (size >= full.size() + 2 && part != full) std::abort();
    }
    return full;
}

// Reads the section's list into a buffer of exactly size bytes; returns the
// buffer's bytes and the length returned.
std::string ReadSection(const char* section, std::size_t size, std::size_t* length) {
    char* out = new char[size];
    std::memset(out, 0x5a, size);
    *length = cecp::platform::ProfileSectionOfText(g_text, section, out, size);
    std::string bytes(out, size);
    delete[] out;
    if (size < 2 && (*length != 0 || (size == 1 && bytes[0] != '\0'))) std::abort();
    return bytes;
}

// The list with room to spare (the last entry's NUL, or a second one for the
// empty list, then the list's), and at every size that cuts it and one in
// its middle: a buffer with room to spare gets the whole list; any other is
// cut as the Win32 reader cuts it, the whole list's bytes up to the buffer's
// last two, both NULs, its length given as size - 2.
void ProbeSection(const char* section) {
    std::size_t length = 0;
    std::string full = ReadSection(section, Roomy(), &length);
    if (length + 1 >= full.size() || full[length] != '\0' || full[length == 0 ? 1 : length - 1] != '\0')
        std::abort();
    full.resize(length + 1);
    std::vector<std::size_t> sizes = Boundaries(full.size());
    sizes.push_back(full.size() / 2 + 1);
    for (std::size_t size : sizes) {
        const std::string part = ReadSection(section, size, &length);
        if (size < 2) continue;
        if (size > full.size()) {
            if (length + 1 != full.size() || part.compare(0, full.size(), full) != 0) std::abort();
        } else if (length != size - 2 || part.compare(0, size - 2, full, 0, size - 2) != 0 ||
                   part[size - 2] != '\0' || part[size - 1] != '\0') {
            std::abort();
        }
    }
}

// What an open reads.
void ReadAsAnOpen() {
    cecp::EngineConfig config;
    cecp::ReadEngineConfig(kPath, &config);
    if (!Terminated(config.commandLine, sizeof config.commandLine) || !Terminated(config.author, sizeof config.author) ||
        !Terminated(config.engine, sizeof config.engine)) {
        std::abort();
    }
    // The switches follow their values.
    if (config.analyzeMode != cecp::IsSwitchOn(Read("Support", "AnalyzeMode", cecp::kLongSettingLimit + 1).c_str()))
        std::abort();
    // A value may hold NUL bytes of the file; the module's texts end at the first.
    const std::string engine = Read("Parameter", "Engine", cecp::kShortSettingLimit + 1);
    if (config.engine != engine.substr(0, engine.find('\0'))) std::abort();
    cecp::ReadDebugSwitch(kPath);
    cecp::ReadLogfileSwitch(kPath);
}

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// The index-th section header or key name (0 to 2) as the file writes it,
// or the empty name.
void Names(std::size_t sectionIndex, std::size_t keyIndex, std::string* section, std::string* key) {
    std::size_t sections = 0, keys = 0;
    std::size_t start = 0;
    while (start < g_text.size() && (sections <= sectionIndex || keys <= keyIndex)) {
        std::size_t end = g_text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = g_text.size();
        std::string_view line = g_text.substr(start, end - start);
        start = end + 1;
        std::size_t open = line.find('[');
        std::size_t close = line.rfind(']');
        if (open != std::string_view::npos && close != std::string_view::npos && close > open) {
            if (sections++ == sectionIndex) *section = line.substr(open + 1, close - open - 1);
        } else if (std::size_t equals = line.find('='); equals != std::string_view::npos) {
            if (keys++ == keyIndex) *key = line.substr(0, equals);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    cecp::platform::SetProfileTextOfPath(TextOfPath);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    g_text = std::string_view(reinterpret_cast<const char*>(data), size);
    switch (size % 5) {
    case 0:
        ReadAsAnOpen();
        break;
    case 1:
        Probe("Parameter", "CommandLine");
        break;
    case 2:
        Probe("Support", "PonderMode");
        break;
    case 3:
        ProbeSection("Options");
        break;
    default: {
        std::string section, key;
        Names(size / 5 % 4, size / 20 % 4, &section, &key);
        // Names are matched without regard to case.
        if (Probe(section.c_str(), key.c_str()) != Read(Upper(section).c_str(), Upper(key).c_str(), Roomy()))
            std::abort();
        ProbeSection(section.c_str());
        break;
    }
    }
    return 0;
}
