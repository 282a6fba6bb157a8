#include "module_loader.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace cecp::test {

fs::path ProgramFolder() {
#ifdef _WIN32
    char buffer[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return fs::path(std::string(buffer, length)).parent_path();
#else
    return fs::read_symlink("/proc/self/exe").parent_path();
#endif
}

fs::path BuiltModulePath() { return ProgramFolder() / "cecp-adapter.eng"; }

ScratchFolder::ScratchFolder() {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
#ifdef _WIN32
    auto pid = GetCurrentProcessId();
#else
    auto pid = getpid();
#endif
    std::ostringstream name;
    name << "cecp-test-" << pid << "-" << stamp << "-" << counter++;
    path_ = fs::temp_directory_path() / name.str();
    fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void WriteFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

fs::path InstallModule(const fs::path& root, const std::string& moduleName) {
    fs::path engines = root / "engines";
    fs::create_directories(engines);
    fs::path module = engines / moduleName;
    fs::copy_file(BuiltModulePath(), module, fs::copy_options::overwrite_existing);
    std::string folder = moduleName.size() >= 4 ? moduleName.substr(0, moduleName.size() - 4) : "";
    if (!folder.empty()) fs::create_directories(engines / folder);
    return module;
}

LoadedModule::LoadedModule(const fs::path& path) {
#ifdef _WIN32
    std::string name = path.string();
    // Without an extension LoadLibrary would look for a ".dll"; a trailing
    // dot says the name has none.
    if (!path.has_extension()) name += '.';
    handle_ = reinterpret_cast<void*>(LoadLibraryA(name.c_str()));
    if (handle_ == nullptr) error_ = "LoadLibrary failed with error " + std::to_string(GetLastError());
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) error_ = dlerror();
#endif
}

LoadedModule::~LoadedModule() {
    if (handle_ == nullptr) return;
#ifdef _WIN32
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
}

void* LoadedModule::Find(const char* name) const {
    if (handle_ == nullptr) return nullptr;
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
}

bool ModuleApi::Resolve(const LoadedModule& module, std::string* missing) {
    missing->clear();
    auto bind = [&](auto& slot, const char* name) {
        slot = module.Get<std::remove_reference_t<decltype(slot)>>(name);
        if (slot == nullptr) *missing += std::string(missing->empty() ? "" : " ") + name;
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

}  // namespace cecp::test
