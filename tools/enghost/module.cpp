#include "module.h"

#include <map>
#include <mutex>

#ifdef _WIN32
#include <windows.h>

namespace fs = std::filesystem;
#endif

namespace enghost {

namespace {

std::mutex g_routesMutex;
std::map<void*, std::function<void(std::uint32_t)>>& Routes() {
    static auto* routes = new std::map<void*, std::function<void(std::uint32_t)>>;
    return *routes;
}

}  // namespace

void RouteNotifications(void* infoBlock, std::function<void(std::uint32_t)> handler) {
    std::lock_guard lock(g_routesMutex);
    Routes()[infoBlock] = std::move(handler);
}

void ReleaseNotifications(void* infoBlock) {
    std::lock_guard lock(g_routesMutex);
    Routes().erase(infoBlock);
}

void DispatchNotification(std::uint32_t code, void* infoBlock) {
    std::function<void(std::uint32_t)> handler;
    {
        std::lock_guard lock(g_routesMutex);
        auto found = Routes().find(infoBlock);
        if (found == Routes().end()) return;
        handler = found->second;
    }
    handler(code);
}

#ifdef _WIN32
using Notifier = void(CECP_CALL*)(std::uint32_t, std::uint32_t, std::uint32_t, void*);

static void CECP_CALL ForwardNotification(std::uint32_t code, std::uint32_t, std::uint32_t, void* infoBlock) {
    DispatchNotification(code, infoBlock);
}

bool PrepareHostLibrary(std::string* error) {
    // The module imports Func3 from Kalvo32.dll by name; once a library of
    // that name is loaded, the module's import is bound to it.
    const fs::path candidates[] = {ProgramFolder() / "enghost-host" / "Kalvo32.dll", ProgramFolder() / "Kalvo32.dll"};
    for (const fs::path& candidate : candidates) {
        if (!fs::exists(candidate)) continue;
        HMODULE library = LoadLibraryA(candidate.string().c_str());
        if (library == nullptr) continue;
        auto set = reinterpret_cast<void(CECP_CALL*)(Notifier)>(
            reinterpret_cast<void*>(GetProcAddress(library, "EnghostSetNotifier")));
        if (set == nullptr) continue;
        set(&ForwardNotification);
        return true;
    }
    *error = "enghost's own Kalvo32.dll (the host library with Func3) is missing; it belongs in " +
             (ProgramFolder() / "enghost-host").string();
    return false;
}
#else
bool PrepareHostLibrary(std::string*) { return true; }
#endif

bool CheckModule(const std::filesystem::path& module, std::string* problem) {
    if (!PrepareHostLibrary(problem)) return false;
    cecp::host_side::LoadedModule loaded(module);
    if (!loaded.loaded()) {
        *problem = "it does not load as a library: " + loaded.error();
        return false;
    }
    cecp::host_side::ModuleApi api;
    std::string missing;
    if (!api.Resolve(loaded, &missing)) {
        *problem = "it lacks the exports " + missing;
        return false;
    }
    return true;
}

}  // namespace enghost

#ifndef _WIN32
// The modules take Func3 from the program that loads them.
extern "C" __attribute__((visibility("default"))) std::int32_t Func3(std::uint32_t code, std::uint32_t,
                                                                     std::uint32_t, void* infoBlock) {
    enghost::DispatchNotification(code, infoBlock);
    return 0;
}
#endif
