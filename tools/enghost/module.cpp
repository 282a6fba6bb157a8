#include "module.h"

#include <map>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace fs = std::filesystem;

namespace enghost {

namespace {

std::mutex g_routesMutex;
std::map<void*, std::function<void(std::uint32_t)>>& Routes() {
    static auto* routes = new std::map<void*, std::function<void(std::uint32_t)>>;
    return *routes;
}

void* FindExport(void* handle, const char* name) {
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
#else
    return dlsym(handle, name);
#endif
}

}  // namespace

std::unique_ptr<Module> Module::Load(const fs::path& path, std::string* error) {
    std::unique_ptr<Module> module(new Module);
#ifdef _WIN32
    std::string name = path.string();
    // Without a trailing dot LoadLibrary would add ".dll" to a name without one.
    if (!path.has_extension()) name += '.';
    module->handle_ = reinterpret_cast<void*>(LoadLibraryA(name.c_str()));
    if (module->handle_ == nullptr) {
        *error = "cannot load the module " + path.string() + " (Windows error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
#else
    module->handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module->handle_ == nullptr) {
        const char* why = dlerror();
        *error = "cannot load the module " + path.string() + ": " + (why ? why : "unknown error");
        return nullptr;
    }
#endif
    std::string missing;
    auto bind = [&](auto& slot, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(FindExport(module->handle_, name));
        if (slot == nullptr) missing += std::string(missing.empty() ? "" : ", ") + name;
    };
    ModuleApi& api = module->api_;
    bind(api.Eng1, "Eng1");
    bind(api.Eng2, "Eng2");
    bind(api.Eng3, "Eng3");
    bind(api.Eng4, "Eng4");
    bind(api.Eng5, "Eng5");
    bind(api.Eng6, "Eng6");
    bind(api.Eng7, "Eng7");
    bind(api.Eng9, "Eng9");
    bind(api.Eng10, "Eng10");
    if (!missing.empty()) {
        *error = path.string() + " is not an engine module: it lacks " + missing;
        return nullptr;
    }
    return module;
}

Module::~Module() {
    if (handle_ == nullptr || keep_) return;
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
}

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

fs::path ProgramFolder() {
#ifdef _WIN32
    char buffer[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return fs::path(std::string(buffer, length)).parent_path();
#else
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::current_path() : self.parent_path();
#endif
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

}  // namespace enghost

#ifndef _WIN32
// The modules take Func3 from the program that loads them.
extern "C" __attribute__((visibility("default"))) std::int32_t Func3(std::uint32_t code, std::uint32_t,
                                                                     std::uint32_t, void* infoBlock) {
    enghost::DispatchNotification(code, infoBlock);
    return 0;
}
#endif
