// Reading one value from a profile (INI) file.
#pragma once

#include <cstddef>
#include <string_view>

namespace cecp::platform {

// Reads the value of key in section of the profile file at path into out,
// with the empty text as default, and returns its length. The value is cut to
// size - 1 characters. Sections and keys are matched without regard to case;
// the first section of that name and the first key in it win. On Windows this
// is GetPrivateProfileStringA itself; elsewhere a reader that answers the same.
std::size_t ReadProfileString(const char* path, const char* section, const char* key, char* out,
                              std::size_t size);

// Reads the entries of section (the first of that name) into out: each
// "KEY=VALUE" (or "KEY" for a line without '=') with the blanks around key
// and value dropped, comment lines (';') left out, each ended by a NUL and
// the list by a second one. Entries that do not fit are cut and the list
// ends there. Returns the length of the list without its final NUL, or
// size - 2 when it was cut or fills the buffer to its last byte. On Windows
// this is GetPrivateProfileSectionA.
std::size_t ReadProfileSection(const char* path, const char* section, char* out, std::size_t size);

#ifndef _WIN32
// The same two answers from a settings file's text already in memory.
std::size_t ProfileStringOfText(std::string_view text, const char* section, const char* key, char* out,
                                std::size_t size);
std::size_t ProfileSectionOfText(std::string_view text, const char* section, char* out, std::size_t size);

// Where the two readers above find a path's text in place of the file: for
// the fuzz targets, which read settings from memory at the rate the readers
// allow rather than the file system's. Null, as at load, reads the files.
using ProfileTextOfPath = std::string_view (*)(const char* path);
void SetProfileTextOfPath(ProfileTextOfPath textOf);
#endif

}  // namespace cecp::platform
