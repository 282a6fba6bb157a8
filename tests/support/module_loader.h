// Loading a copy of the module as the host does, and scratch installations.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "chess/move_word.h"
#include "host/info_block.h"

namespace cecp::test {

// The module built beside the test programs.
std::filesystem::path BuiltModulePath();
// The folder the running test program lives in.
std::filesystem::path ProgramFolder();

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

// One loaded copy of the module with all its exports resolved.
class LoadedModule {
public:
    explicit LoadedModule(const std::filesystem::path& path);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    // The address of an export, or null when the module lacks it.
    void* Find(const char* name) const;
    // Every export the host relies on, by name; a missing one is an error.
    template <typename F>
    F Get(const char* name) const {
        return reinterpret_cast<F>(Find(name));
    }
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

// The module's exports as the host calls them.
struct ModuleApi {
    std::int32_t(CECP_CALL* Eng1)(void*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                  std::uint32_t) = nullptr;
    std::int32_t(CECP_CALL* Eng2)() = nullptr;
    void(CECP_CALL* Eng3)() = nullptr;
    std::int32_t(CECP_CALL* Eng4)() = nullptr;
    std::int32_t(CECP_CALL* Eng5)() = nullptr;
    const char*(CECP_CALL* Eng6)() = nullptr;
    const char*(CECP_CALL* Eng7)() = nullptr;
    std::int32_t(CECP_CALL* Eng8)() = nullptr;
    void(CECP_CALL* Eng9)(void*) = nullptr;
    void(CECP_CALL* Eng10)() = nullptr;
    void(CECP_CALL* Eng11)() = nullptr;
    std::uint32_t(CECP_CALL* Eng12)() = nullptr;
    void(CECP_CALL* Eng15)() = nullptr;
    void(CECP_CALL* ShowNodes)(std::int64_t) = nullptr;
    void(CECP_CALL* ShowDepth)(std::int32_t, std::int16_t) = nullptr;
    void(CECP_CALL* ShowMove)(MoveWord, std::int16_t, std::int16_t) = nullptr;
    void(CECP_CALL* ShowMainline)(const MoveWord*, std::int32_t, std::int16_t) = nullptr;

    // Resolves every export; names the missing ones in missing.
    bool Resolve(const LoadedModule& module, std::string* missing);
};

}  // namespace cecp::test
