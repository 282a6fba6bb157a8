#include "module_api.h"

#include <type_traits>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace fs = std::filesystem;

namespace cecp::host_side {

LoadedModule::LoadedModule(const fs::path& path) {
#ifdef _WIN32
    std::string name = path.string();
    // Without an extension LoadLibrary would look for a ".dll"; a trailing
    // dot says the name has none.
    if (!path.has_extension()) name += '.';
    handle_ = reinterpret_cast<void*>(LoadLibraryA(name.c_str()));
    if (handle_ == nullptr)
        error_ = "cannot load the module " + path.string() + " (Windows error " + std::to_string(GetLastError()) + ")";
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = dlerror();
        error_ = "cannot load the module " + path.string() + ": " + (why ? why : "unknown error");
    }
#endif
}

LoadedModule::~LoadedModule() {
    if (handle_ == nullptr || keep_) return;
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
}

void* LoadedModule::Find(const char* name) const {
    if (handle_ == nullptr) return nullptr;
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
}

bool ModuleApi::Resolve(const LoadedModule& module, std::string* missing) {
    missing->clear();
    auto bind = [&](auto& slot, const char* name) {
        slot = module.Get<std::remove_reference_t<decltype(slot)>>(name);
        if (slot == nullptr) *missing += std::string(missing->empty() ? "" : ", ") + name;
    };
    bind(Eng1, "Eng1");
    bind(Eng2, "Eng2");
    bind(Eng3, "Eng3");
    bind(Eng4, "Eng4");
    bind(Eng5, "Eng5");
    bind(Eng6, "Eng6");
    bind(Eng7, "Eng7");
    bind(Eng8, "Eng8");
    bind(Eng9, "Eng9");
    bind(Eng10, "Eng10");
    bind(Eng11, "Eng11");
    bind(Eng12, "Eng12");
    bind(Eng15, "Eng15");
    bind(ShowNodes, "ShowNodes");
    bind(ShowDepth, "ShowDepth");
    bind(ShowMove, "ShowMove");
    bind(ShowMainline, "ShowMainline");
    return missing->empty();
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

}  // namespace cecp::host_side
