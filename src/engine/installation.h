// Where the engine lives: the paths derived from the module's own path.
//
// The module sits in the host's "engines" folder; its engine lives in the
// sub-folder named after the module without its extension, and holds the
// executable, the settings file and the log, all named after the module.
#pragma once

#include <cstddef>

namespace cecp {

constexpr std::size_t kModulePathLimit = 509;  // characters of the module's own path
constexpr std::size_t kFileNameLimit = 127;
constexpr std::size_t kEnginePathLimit = 511;
// The log of the conversation, in the engine's folder, when "Logfile" is on.
constexpr char kLogFileName[] = "logfile.text";

struct Installation {
    char engineDirectory[kEnginePathLimit + 1];  // with its trailing separator
    char engineFileName[kFileNameLimit + 1];     // extension included
    char problem[kEnginePathLimit + 1];          // empty when the paths are usable
};

// Derives the engine's folder and the module's file name from the module's
// path (empty when the platform could not tell it). The file name is the text
// after the last engines folder, or the last path component when there is no
// engines folder; the folder is the path less its last four characters (the
// extension) with a separator appended. On Windows both are lower-cased.
// A path that does not fit the fixed buffers is never cut into another path:
// the installation is then marked unusable with a reason.
void DeriveInstallation(const char* modulePath, Installation* out);

struct EnginePaths {
    char enginePath[kEnginePathLimit + 1];
    char initPath[kEnginePathLimit + 1];
    char logPath[kEnginePathLimit + 1];
};

// The stem is the folder joined with the file name, less its last four
// characters; the executable is the stem plus the platform's suffix, the
// settings file the stem plus ".init", the log "logfile.text" in the folder.
// False when a path would not fit (DeriveInstallation has then already
// marked the installation unusable).
bool BuildEnginePaths(const char* engineDirectory, const char* engineFileName, EnginePaths* out);

}  // namespace cecp
