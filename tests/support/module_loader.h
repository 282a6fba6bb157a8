// Loading a copy of the module as the host does, scratch installations, and
// the clock that the host's calls are timed by.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>

#include "module_api.h"

namespace cecp::test {

// The module built beside the test programs.
std::filesystem::path BuiltModulePath();
using host_side::ProgramFolder;

// A fresh folder, removed with everything in it when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& path, const std::string& content);
std::string ReadFile(const std::filesystem::path& path);

// Copies the built module to root/engines/moduleName and creates the engine's
// folder beside it (named after the module less its last four characters).
// Returns the module's path.
std::filesystem::path InstallModule(const std::filesystem::path& root, const std::string& moduleName);

// A copy of the module loaded, and its exports, as the host has them.
using host_side::LoadedModule;
using host_side::ModuleApi;

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace cecp::test
