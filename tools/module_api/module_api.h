// A module loaded as the host loads it: the file, and the table of its
// exports found by their names. enghost and the tests' host side both load
// modules through this.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "chess/move_word.h"
#include "host/info_block.h"

namespace cecp::host_side {

// One loaded module file, unloaded when the object goes unless kept.
class LoadedModule {
public:
    explicit LoadedModule(const std::filesystem::path& path);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    // Why the file could not be loaded.
    const std::string& error() const { return error_; }
    // The address of an export, or null when the module lacks it.
    void* Find(const char* name) const;
    template <typename F>
    F Get(const char* name) const {
        return reinterpret_cast<F>(Find(name));
    }
    // A thread of the host is still inside the module: it must never be unloaded.
    void KeepLoaded() { keep_ = true; }

private:
    void* handle_ = nullptr;
    std::string error_;
    bool keep_ = false;
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

    // Finds every export; false, with the missing ones named in missing.
    bool Resolve(const LoadedModule& module, std::string* missing);
};

// The folder the running program lives in.
std::filesystem::path ProgramFolder();

}  // namespace cecp::host_side
