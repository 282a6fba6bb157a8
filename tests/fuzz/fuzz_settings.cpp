// The settings reader on arbitrary .init files: every key the module reads,
// and sections and keys named by the file itself, into buffers of every
// small size.
//
// What must hold: a value never leaves its buffer (each is allocated at its
// exact size), it is NUL-terminated within its limit at the length returned,
// a value read into a smaller buffer is the start of the same value read
// into a larger one, and a buffer with room to spare gets the whole value.
//
// Input: the whole input is the settings file. The names looked up besides
// the module's own keys are the file's own section headers and key names
// (first ones first), spelt as written and in upper case.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/engine_config.h"
#include "host/info_block.h"
#include "platform/profile.h"

extern "C" std::int32_t CECP_CALL Func3(std::uint32_t, std::uint32_t, std::uint32_t, void*) { return 0; }

namespace {

const std::string& InitPath() {
    static const std::string path = [] {
        char name[] = "/tmp/fuzz_settings_XXXXXX.init";
        int fd = mkstemps(name, 5);
        if (fd < 0) std::abort();
        close(fd);
        return std::string(name);
    }();
    return path;
}

void WriteInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(InitPath().c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
}

bool Terminated(const char* text, std::size_t room) { return std::memchr(text, '\0', room) != nullptr; }

// Reads the value into a buffer of exactly size bytes; checks its bounds.
std::string Read(const char* section, const char* key, std::size_t size) {
    char* out = new char[size];
    std::memset(out, 0x5a, size);
    std::size_t length = cecp::platform::ReadProfileString(InitPath().c_str(), section, key, out, size);
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

// Reads section/key into buffers of the sizes given, and of 4096 bytes.
void Probe(const char* section, const char* key, std::initializer_list<std::size_t> sizes) {
    const std::string full = Read(section, key, 4096);
    for (std::size_t size : sizes) {
        const std::string part = Read(section, key, size);
        if (!IsPrefix(part, full)) std::abort();
        // Room for the value and one byte more always gets all of it (a quoted
        // value may need that byte: the Win32 reader drops a character there).
        if (size >= full.size() + 2 && part != full) std::abort();
    }
}

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// Section headers and key names as the file writes them.
void Names(const std::string& text, std::vector<std::string>* sections, std::vector<std::string>* keys) {
    std::size_t start = 0;
    while (start < text.size() && (sections->size() < 3 || keys->size() < 3)) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        std::size_t open = line.find('[');
        std::size_t close = line.rfind(']');
        if (open != std::string::npos && close != std::string::npos && close > open) {
            if (sections->size() < 3) sections->push_back(line.substr(open + 1, close - open - 1));
        } else if (std::size_t equals = line.find('='); equals != std::string::npos && keys->size() < 3) {
            keys->push_back(line.substr(0, equals));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WriteInput(data, size);
    const char* path = InitPath().c_str();

    cecp::EngineConfig config;
    cecp::ReadEngineConfig(path, &config);
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
    cecp::ReadDebugSwitch(path);
    cecp::ReadLogfileSwitch(path);

    const std::initializer_list<std::size_t> kEverySmallSize = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 16, 126, 510};
    Probe("Parameter", "CommandLine", kEverySmallSize);
    Probe("Support", "PonderMode", kEverySmallSize);

    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> sections, keys;
    Names(text, &sections, &keys);
    sections.push_back("");
    keys.push_back("");
    for (const std::string& section : sections) {
        for (const std::string& key : keys) {
            Probe(section.c_str(), key.c_str(), {1, 5});
            Probe(Upper(section).c_str(), Upper(key).c_str(), {2});
        }
    }
    return 0;
}
