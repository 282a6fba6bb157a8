// Where the module itself was loaded from.
#pragma once

#include <cstddef>

namespace cecp::platform {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
// Windows paths are not case-sensitive; the module works in lower case.
constexpr bool kLowerCasePaths = true;
// The engine's executable is the stem plus this.
constexpr const char* kExecutableSuffix = ".exe";
#else
constexpr char kPathSeparator = '/';
constexpr bool kLowerCasePaths = false;
constexpr const char* kExecutableSuffix = "";
#endif

// Writes the module's full path (NUL-terminated) into out. Returns false when
// the path could not be found or does not fit in size bytes; out then holds
// the empty text.
bool ModuleFilePath(char* out, std::size_t size);

}  // namespace cecp::platform
