// A profile reader that answers as the Win32 one does (GetPrivateProfileStringA
// as wine implements it), so that a settings file means the same on both
// platforms:
// - lines end at CR or LF; blanks, tabs, vertical tabs, form feeds and Ctrl-Z
//   around a line are dropped, and blank lines are skipped;
// - a line that starts with '[' and holds a ']' opens a section named by the
//   text between the '[' and the last ']', without the blanks around it;
// - any other line is a key: the text before the first '=' with the blanks
//   around it dropped, and the value after it without its leading blanks;
//   a line without '=' is a key without a value. A comment line (';') is
//   simply a key whose name no lookup asks for;
// - section and key names are compared without regard to case; only the first
//   section of the name is searched, and the first key in it wins;
// - a value enclosed in a pair of the same quotes (' or ") loses them, and the
//   value is cut to size - 1 characters.
#include "platform/profile.h"

#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace cecp::platform {
namespace {

bool IsProfileSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsProfileSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsProfileSpace(text.back())) text.remove_suffix(1);
    return text;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

// Calls visit(line) for every line of the first section of that name, each
// without the blanks around it, blank lines skipped; stops early when visit
// answers false.
template <typename Visit>
void ForEachSectionLine(std::string_view text, std::string_view section, Visit visit) {
    bool inSection = section.empty();  // keys before any header form a nameless section
    bool sectionSeen = inSection;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = Trim(text.substr(pos, end - pos));
        pos = end;
        while (pos < text.size() && (text[pos] == '\r' || text[pos] == '\n')) ++pos;
        if (line.empty()) continue;

        if (line.front() == '[') {
            std::size_t close = line.rfind(']');
            if (close != std::string_view::npos) {
                if (sectionSeen) return;  // only the first section of the name counts
                inSection = SameName(Trim(line.substr(1, close - 1)), section);
                sectionSeen = inSection;
                continue;
            }
            // A '[' without ']' is no header: the line is read as a key.
        }
        if (inSection && !visit(line)) return;
    }
}

// Finds the value of key in the first section of that name; false when the
// section or the key is missing or the key has no '='.
bool FindValue(std::string_view text, std::string_view section, std::string_view key,
               std::string_view* value) {
    bool found = false;
    ForEachSectionLine(text, section, [&](std::string_view line) {
        std::size_t equals = line.find('=');
        std::string_view name = Trim(line.substr(0, equals));
        if (!SameName(name, key)) return true;
        if (equals == std::string_view::npos) return false;
        std::string_view rest = line.substr(equals + 1);
        while (!rest.empty() && IsProfileSpace(rest.front())) rest.remove_prefix(1);
        *value = rest;
        found = true;
        return false;
    });
    return found;
}

std::atomic<ProfileTextOfPath> g_textOfPath{nullptr};

std::string ReadWholeFile(const char* path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return {};
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// read(text) on the path's text: the file's, or the one SetProfileTextOfPath named.
template <typename Read>
std::size_t WithTextOf(const char* path, Read read) {
    if (ProfileTextOfPath textOf = g_textOfPath.load()) return read(textOf(path));
    return read(ReadWholeFile(path));
}

// A UTF-8 byte-order mark is not part of the first line.
std::string_view WithoutByteOrderMark(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    return text;
}

}  // namespace

void SetProfileTextOfPath(ProfileTextOfPath textOf) { g_textOfPath = textOf; }

std::size_t ProfileStringOfText(std::string_view text, const char* section, const char* key, char* out,
                                std::size_t size) {
    if (size == 0) return 0;
    out[0] = '\0';
    std::string_view value;
    if (!FindValue(WithoutByteOrderMark(text), Trim(section), Trim(key), &value)) return 0;

    bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                  value.back() == value.front();
    if (quoted) value.remove_prefix(1);
    std::size_t length = value.size() < size - 1 ? value.size() : size - 1;
    // The Win32 reader drops the last character copied whenever the buffer is
    // at least as long as the value after its opening quote: the closing quote
    // when everything fitted, one character of the value when the buffer was
    // one short.
    // (Nothing is dropped from nothing: a buffer of one byte gets "" for "".)
    if (quoted && size >= value.size() && length > 0) --length;
    std::memcpy(out, value.data(), length);
    out[length] = '\0';
    return length;
}

std::size_t ReadProfileString(const char* path, const char* section, const char* key, char* out,
                              std::size_t size) {
    if (size == 0) return 0;
    out[0] = '\0';
    return WithTextOf(path,
                      [&](std::string_view text) { return ProfileStringOfText(text, section, key, out, size); });
}

std::size_t ProfileSectionOfText(std::string_view text, const char* section, char* out, std::size_t size) {
    if (size < 2) {
        if (size == 1) out[0] = '\0';
        return 0;
    }
    std::size_t used = 0;
    bool full = false;
    ForEachSectionLine(WithoutByteOrderMark(text), Trim(section), [&](std::string_view line) {
        if (line.front() == ';') return true;  // a comment
        std::size_t equals = line.find('=');
        std::string_view name = Trim(line.substr(0, equals));
        std::string entry(name);
        if (equals != std::string_view::npos) {
            entry += '=';
            entry += Trim(line.substr(equals + 1));
        }
        // Each entry and its NUL, and room for the list's final NUL.
        std::size_t room = size - 1 - used;
        if (entry.size() + 1 > room) {
            entry.resize(room > 0 ? room - 1 : 0);
            full = true;
        }
        std::memcpy(out + used, entry.data(), entry.size());
        used += entry.size();
        out[used++] = '\0';
        return !full && used < size - 1;
    });
    out[used] = '\0';
    if (used == 0) out[1] = '\0';
    // A list whose final NUL takes the buffer's last byte counts as cut, as
    // the Win32 reader counts it, whether or not more entries would follow.
    return full || used == size - 1 ? size - 2 : used;
}

std::size_t ReadProfileSection(const char* path, const char* section, char* out, std::size_t size) {
    return WithTextOf(path, [&](std::string_view text) { return ProfileSectionOfText(text, section, out, size); });
}

}  // namespace cecp::platform
