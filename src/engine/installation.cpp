#include "engine/installation.h"

#include <cstdio>
#include <cstring>

#include "platform/module_path.h"

namespace cecp {
namespace {

constexpr char kEnginesFolder[] = {platform::kPathSeparator, 'e', 'n', 'g', 'i', 'n', 'e', 's',
                                   platform::kPathSeparator, '\0'};
constexpr char kInitSuffix[] = ".init";
constexpr std::size_t kExtensionLength = 4;

const char* FindLast(const char* text, const char* pattern) {
    const char* found = nullptr;
    for (const char* at = std::strstr(text, pattern); at != nullptr; at = std::strstr(at + 1, pattern)) {
        found = at;
    }
    return found;
}

// Joins up to three parts into out; false (and out empty) when the result
// would be longer than limit characters.
bool Join(char* out, std::size_t limit, const char* a, std::size_t aLength, const char* b,
          const char* c = "") {
    std::size_t bLength = std::strlen(b), cLength = std::strlen(c);
    if (aLength + bLength + cLength > limit) {
        out[0] = '\0';
        return false;
    }
    std::memmove(out, a, aLength);
    std::memcpy(out + aLength, b, bLength);
    std::memcpy(out + aLength + bLength, c, cLength + 1);
    return true;
}

std::size_t StemLength(std::size_t directoryLength, std::size_t nameLength) {
    std::size_t joined = directoryLength + nameLength;
    return joined >= kExtensionLength ? joined - kExtensionLength : joined;
}

}  // namespace

void DeriveInstallation(const char* modulePath, Installation* out) {
    out->engineDirectory[0] = out->engineFileName[0] = out->problem[0] = '\0';
    std::size_t length = std::strlen(modulePath);
    if (length == 0 || length > kModulePathLimit) {
        std::snprintf(out->problem, sizeof out->problem,
                      length == 0 ? "the module cannot tell the path it was loaded from"
                                  : "the module's path is longer than %u characters",
                      static_cast<unsigned>(kModulePathLimit));
        return;
    }
    char path[kModulePathLimit + 1];
    std::memcpy(path, modulePath, length + 1);
    if (platform::kLowerCasePaths) {
        for (char* c = path; *c != '\0'; ++c) {
            if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
        }
    }

    const char* name = FindLast(path, kEnginesFolder);
    if (name != nullptr) {
        name += sizeof kEnginesFolder - 1;
    } else {
        // Not installed in an engines folder: the module is named by its last
        // path component, and its engine folder sits beside it all the same.
        const char* separator = std::strrchr(path, platform::kPathSeparator);
        name = separator != nullptr ? separator + 1 : path;
    }
    std::size_t nameLength = std::strlen(name);
    if (nameLength > kFileNameLimit) {
        std::snprintf(out->problem, sizeof out->problem,
                      "the module's file name is longer than %u characters",
                      static_cast<unsigned>(kFileNameLimit));
        return;
    }

    std::size_t directoryLength = length >= kExtensionLength ? length - kExtensionLength : length;
    // The longest path later built from these is the stem plus ".init" or
    // the folder plus the log's name; both must fit their buffers.
    std::size_t stem = StemLength(directoryLength + 1, nameLength);
    std::size_t suffix = std::strlen(platform::kExecutableSuffix);
    if (suffix < sizeof kInitSuffix - 1) suffix = sizeof kInitSuffix - 1;
    if (stem + suffix > kEnginePathLimit || directoryLength + 1 + sizeof kLogFileName - 1 > kEnginePathLimit) {
        std::snprintf(out->problem, sizeof out->problem,
                      "the engine's paths would be longer than %u characters",
                      static_cast<unsigned>(kEnginePathLimit));
        return;
    }
    std::memcpy(out->engineFileName, name, nameLength + 1);
    const char separator[] = {platform::kPathSeparator, '\0'};
    Join(out->engineDirectory, kEnginePathLimit, path, directoryLength, separator);
}

bool BuildEnginePaths(const char* engineDirectory, const char* engineFileName, EnginePaths* out) {
    char stem[kEnginePathLimit + 1];
    std::size_t directoryLength = std::strlen(engineDirectory);
    bool fits = Join(stem, kEnginePathLimit, engineDirectory, directoryLength, engineFileName);
    if (fits) stem[StemLength(directoryLength, std::strlen(engineFileName))] = '\0';
    fits = fits && Join(out->enginePath, kEnginePathLimit, stem, std::strlen(stem),
                        platform::kExecutableSuffix);
    fits = fits && Join(out->initPath, kEnginePathLimit, stem, std::strlen(stem), kInitSuffix);
    fits = fits && Join(out->logPath, kEnginePathLimit, engineDirectory, directoryLength, kLogFileName);
    if (!fits) out->enginePath[0] = out->initPath[0] = out->logPath[0] = '\0';
    return fits;
}

}  // namespace cecp
