// Reading one value from a profile (INI) file.
#pragma once

#include <cstddef>

namespace cecp::platform {

// Reads the value of key in section of the profile file at path into out,
// with the empty text as default, and returns its length. The value is cut to
// size - 1 characters. Sections and keys are matched without regard to case;
// the first section of that name and the first key in it win. On Windows this
// is GetPrivateProfileStringA itself; elsewhere a reader that answers the same.
std::size_t ReadProfileString(const char* path, const char* section, const char* key, char* out,
                              std::size_t size);

}  // namespace cecp::platform
