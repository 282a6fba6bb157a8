// Loading an engine module as the host does, and the host's side of its
// notifications: every Func3 call is routed to the handler of its info block.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "chess/move_word.h"
#include "host/info_block.h"

namespace enghost {

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
    void(CECP_CALL* Eng9)(void*) = nullptr;
    void(CECP_CALL* Eng10)() = nullptr;
};

class Module {
public:
    // Loads the module file; nothing and a message when it cannot be loaded
    // or lacks an export.
    static std::unique_ptr<Module> Load(const std::filesystem::path& path, std::string* error);
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    const ModuleApi& api() const { return api_; }
    // A thread of ours is still inside the module: it must never be unloaded.
    void KeepLoaded() { keep_ = true; }

private:
    Module() = default;
    void* handle_ = nullptr;
    ModuleApi api_;
    bool keep_ = false;
};

// Makes Func3 reach this program: on Windows it loads the stand-in host
// library Kalvo32.dll built for enghost, which the modules import Func3 from.
bool PrepareHostLibrary(std::string* error);

// Notifications for infoBlock go to handler (called on the module's threads)
// until the block is released.
void RouteNotifications(void* infoBlock, std::function<void(std::uint32_t code)> handler);
void ReleaseNotifications(void* infoBlock);
// Called by Func3.
void DispatchNotification(std::uint32_t code, void* infoBlock);

// The folder this program runs from.
std::filesystem::path ProgramFolder();

}  // namespace enghost
