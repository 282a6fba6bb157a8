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
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace cecp::test {

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

}  // namespace cecp::test
