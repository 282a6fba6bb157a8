#include "installation.h"

#include "engine/installation.h"

namespace fs = std::filesystem;

namespace enghost {

bool InstallationOf(const fs::path& modulePath, Installation* out, std::string* error) {
    std::error_code failure;
    const fs::path module = fs::absolute(modulePath, failure);
    if (module.parent_path().filename() != "engines") {
        *error = "the module " + modulePath.string() +
                 " is not in a folder named engines, where it finds its engine's folder";
        return false;
    }
    // The module drops the last four characters of its own name, whatever they are.
    if (module.filename().string().size() <= 4) {
        *error = "the module's file name " + module.filename().string() + " has no name before its extension";
        return false;
    }
    cecp::Installation derived;
    cecp::EnginePaths paths;
    cecp::DeriveInstallation(module.string().c_str(), &derived);
    if (derived.problem[0] != '\0' ||
        !cecp::BuildEnginePaths(derived.engineDirectory, derived.engineFileName, &paths)) {
        *error = "the module " + modulePath.string() + " cannot find its engine: " + derived.problem;
        return false;
    }
    out->module = module;
    out->executable = paths.enginePath;
    out->settings = paths.initPath;
    out->folder = out->executable.parent_path();
    out->name = out->folder.filename().string();
    return true;
}

fs::path ModulePathOf(const std::string& engine) {
    const fs::path given(engine);
    std::error_code failure;
    if (fs::is_regular_file(given, failure) || given.has_parent_path() || engine.empty()) return given;
    // A bare name: the module enghost install wrote for it.
    const bool hasExtension = given.extension() == ".eng";
    return fs::path("engines") / (hasExtension ? engine : engine + ".eng");
}

bool FindInstallation(const std::string& engine, Installation* out, std::string* error) {
    std::error_code failure;
    const fs::path modulePath = ModulePathOf(engine);
    if (!fs::is_regular_file(modulePath, failure)) {
        const std::string name = fs::path(engine).stem().string();
        *error = "no module at " + modulePath.string() + " (install one with: enghost install " +
                 (name.empty() ? "NAME" : name) + " --exe PATH)";
        return false;
    }
    if (!InstallationOf(modulePath, out, error)) return false;
    if (!fs::exists(out->executable, failure)) {
        *error = "the engine of " + modulePath.string() + " is missing: no " + out->executable.string();
        return false;
    }
    return true;
}

cecp::EngineConfig ReadSettings(const Installation& installation) {
    cecp::EngineConfig config;
    cecp::ReadEngineConfig(installation.settings.string().c_str(), &config);
    return config;
}

}  // namespace enghost
