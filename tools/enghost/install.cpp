// enghost install: a module, its engine and its settings in an engines folder.
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "commands.h"
#include "module.h"
#include "output.h"

namespace fs = std::filesystem;

namespace enghost {

namespace {

bool ValidName(const std::string& name) {
    if (name.empty() || name.size() > 60 || name == "." || name == "..") return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.')) return false;
    return true;
}

// A program named without a folder is looked for on the PATH, as a shell would.
fs::path FindExecutable(const std::string& given) {
    fs::path path(given);
    std::error_code error;
    if (path.has_parent_path() || fs::exists(path, error)) return fs::absolute(path, error);
    const char* search = std::getenv("PATH");
#ifdef _WIN32
    const char separator = ';';
    const std::string suffixes[] = {"", ".exe"};
#else
    const char separator = ':';
    const std::string suffixes[] = {""};
#endif
    std::stringstream folders(search ? search : "");
    for (std::string folder; std::getline(folders, folder, separator);) {
        if (folder.empty()) continue;
        for (const std::string& suffix : suffixes) {
            fs::path candidate = fs::path(folder) / (given + suffix);
            if (fs::is_regular_file(candidate, error)) return candidate;
        }
    }
    return {};
}

const char* Switch(bool on) { return on ? "true" : "false"; }

}  // namespace

int RunInstall(const InstallOptions& options) {
    if (!ValidName(options.name)) {
        PrintError("bad engine name \"" + options.name + "\": use letters, digits, '-', '_' and '.'");
        return 2;
    }
    std::error_code error;
    const fs::path engines = fs::absolute(options.engines, error);
    if (engines.filename() != "engines") {
        PrintError("the folder " + options.engines +
                   " must be named engines: the module finds its engine's folder through that name");
        return 2;
    }
    const fs::path module = options.module.empty() ? ProgramFolder() / "cecp-adapter.eng" : fs::absolute(options.module);
    if (!fs::is_regular_file(module, error)) {
        PrintError("no module at " + module.string() + (options.module.empty() ? " (give one with --module)" : ""));
        return 2;
    }
    const fs::path executable = FindExecutable(options.executable);
    if (executable.empty() || !fs::is_regular_file(executable, error)) {
        PrintError("no engine program " + options.executable);
        return 2;
    }
#ifndef _WIN32
    if ((fs::status(executable, error).permissions() & fs::perms::owner_exec) == fs::perms::none) {
        PrintError("the engine program " + executable.string() + " is not executable");
        return 2;
    }
#endif
    std::vector<fs::path> files;
    for (const std::string& file : options.files) {
        files.push_back(fs::absolute(file, error));
        if (!fs::is_regular_file(files.back(), error)) {
            PrintError("no file " + file + " to put beside the engine");
            return 2;
        }
    }

    const fs::path installed = engines / (options.name + ".eng");
    const fs::path folder = engines / options.name;
#ifdef _WIN32
    const fs::path engineFile = folder / (options.name + ".exe");
#else
    const fs::path engineFile = folder / options.name;
#endif
    const fs::path settings = folder / (options.name + ".init");
    if (!options.force && (fs::exists(installed, error) || fs::exists(folder, error))) {
        PrintError(options.name + " is installed already in " + engines.string() + " (--force replaces it)");
        return 2;
    }

    fs::create_directories(folder, error);
    if (!error) fs::copy_file(module, installed, fs::copy_options::overwrite_existing, error);
    if (!error) {
        if (fs::is_symlink(engineFile, error) || fs::exists(engineFile, error)) fs::remove(engineFile, error);
        error.clear();
#ifdef _WIN32
        fs::copy_file(executable, engineFile, fs::copy_options::overwrite_existing, error);
#else
        fs::create_symlink(executable, engineFile, error);
#endif
    }
    for (const fs::path& file : files)
        if (!error) fs::copy_file(file, folder / file.filename(), fs::copy_options::overwrite_existing, error);
    if (error) {
        PrintError("cannot install " + options.name + " in " + engines.string() + ": " + error.message());
        return 1;
    }

    std::ofstream out(settings, std::ios::binary | std::ios::trunc);
    out << "[Support]\n"
        << "AnalyzeMode=" << Switch(options.analyze) << "\n"
        << "PonderMode=" << Switch(options.ponder) << "\n"
        << "CastleAndEP=" << Switch(options.castleAndEP) << "\n"
        << "EvaluationWhite=" << Switch(options.whiteScores) << "\n"
        << "[Parameter]\n"
        << "CommandLine=" << options.arguments << "\n"
        << "Author=" << options.author << "\n"
        << "Engine=" << options.displayName << "\n"
        << "Debug=" << Switch(options.debug) << "\n"
        << "Logfile=" << Switch(options.log) << "\n";
    out.close();
    if (!out) {
        PrintError("cannot write " + settings.string());
        return 1;
    }
    PrintLine("installed " + installed.string());
    PrintLine("  engine   " + engineFile.string() + " -> " + executable.string());
    PrintLine("  settings " + settings.string());
    return 0;
}

}  // namespace enghost
