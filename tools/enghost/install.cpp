// enghost install: a module, its engine and its settings in an engines folder.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "commands.h"
#include "detect.h"
#include "interrupt.h"
#include "module.h"
#include "output.h"
#include "probe.h"
#include "settings_file.h"

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

// A folder of its own for the probe, holding the files the engine reads
// from its working folder (a polyglot ini), removed at the end.
class ProbeFolder {
public:
    bool Make(const std::vector<fs::path>& files, std::string* error) {
        std::error_code failure;
        static int counter = 0;
        path_ = fs::temp_directory_path(failure) /
                ("enghost-probe-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
                 std::to_string(++counter));
        if (!failure) fs::create_directories(path_, failure);
        for (const fs::path& file : files)
            if (!failure) fs::copy_file(file, path_ / file.filename(), fs::copy_options::overwrite_existing, failure);
        if (failure) *error = "cannot make a folder for the probe in " + path_.string() + ": " + failure.message();
        return !failure;
    }
    ~ProbeFolder() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

const char* Switch(bool on) { return on ? "true" : "false"; }

// The options the engine announced, as the dialect it is installed for has them.
const std::vector<std::string>* AnnouncedOptions(const Findings& findings, Dialect dialect) {
    if (dialect == Dialect::kUci && findings.uciAsked && findings.uci.ok) return &findings.uci.options;
    if (dialect == Dialect::kProtocol2 && findings.featuresAsked && findings.features.anyFeature)
        return &findings.features.options;
    return nullptr;
}

bool Announced(const std::vector<std::string>& options, const std::string& name) {
    for (const std::string& option : options)
        if (option.size() == name.size() && std::equal(option.begin(), option.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            }))
            return true;
    return false;
}

}  // namespace

int RunInstall(const InstallOptions& options) {
    if (!ValidName(options.name)) {
        PrintError("bad engine name \"" + options.name + "\": use letters, digits, '-', '_' and '.'");
        return 2;
    }
    InstallChoices choices;
    if (!options.protocol.empty()) {
        choices.protocol = ParseDialect(options.protocol);
        if (!choices.protocol) {
            PrintError("bad --protocol \"" + options.protocol + "\": write 1 (the classic conversation), 2 or uci");
            return 2;
        }
    }
    choices.analyze = options.analyze;
    choices.ponder = options.ponder;
    choices.castleAndEP = options.castleAndEP;
    choices.author = options.author;
    choices.displayName = options.displayName;
    std::vector<EngineOption> engineOptions;
    for (const std::string& text : options.options) {
        std::string error;
        auto option = ParseEngineOption(text, &error);
        if (!option) {
            PrintError(error);
            return 2;
        }
        SetEngineOption(engineOptions, std::move(*option));
    }
    for (const std::string* value : {&options.arguments, &options.author, &options.displayName}) {
        if (!WritableValue(*value)) {
            PrintError("the value \"" + *value + "\" cannot be kept in the settings file as it is (a line break, "
                       "blanks at its ends, or quotes around it)");
            return 2;
        }
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

    // What the engine speaks, asked before anything is written.
    Findings findings;
    if (options.probe) {
        // uci and protover 2 tell the engine's name whatever the dialect; the
        // classic conversation is held when it is the one chosen, or when
        // the engine answers neither.
        ProbePlan plan;
        if (choices.protocol) {
            plan.classic = *choices.protocol == Dialect::kClassic;
            plan.classicUnlessAnswered = false;
        }
        ProbeFolder probeFolder;
        std::string problem;
        if (!probeFolder.Make(files, &problem)) {
            PrintError(problem);
            return 1;
        }
        PrintLine("probing " + executable.string() + (options.arguments.empty() ? "" : " " + options.arguments) +
                  " ...");
        ProbeTarget target{executable, options.arguments, probeFolder.path()};
        // Ctrl-C ends the probe's programs before the program ends.
        InstallInterruptHandler();
        if (!ProbeEngine(target, plan, ProbeBounds{}, &findings, &problem)) {
            PrintError(problem);
            return 2;
        }
        if (Interrupted()) {
            PrintError("interrupted: nothing installed");
            return 130;
        }
        for (const std::string& line : DescribeFindings(findings)) PrintLine("  " + line);
        if (EndedEverywhere(findings) && AnsweredNothing(findings)) {
            PrintError(executable.string() + " is not a chess engine: it ended by itself in every conversation "
                       "without a chess engine's answer (nothing installed)");
            return 2;
        }
    }
    const DecidedSettings decided = Decide(findings, choices);
    for (const auto& [name, value] : engineOptions) {
        const std::vector<std::string>* announced = AnnouncedOptions(findings, decided.dialect);
        if (announced && !Announced(*announced, name))
            PrintLine("warning: the engine announced no option \"" + name + "\"; it is written all the same");
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

    SettingsFile file;
    file.analyze = decided.analyze;
    file.ponder = decided.ponder;
    file.castleAndEP = decided.castleAndEP;
    file.evaluationWhite = options.whiteScores;
    file.protocol = DialectSetting(decided.dialect);
    file.commandLine = options.arguments;
    // What the engine calls itself may hold what a settings line cannot.
    file.author = WritableValue(decided.author) ? decided.author : "";
    file.engine = WritableValue(decided.engine) ? decided.engine : "";
    file.debug = options.debug;
    file.log = options.log;
    file.options = engineOptions;
    std::ofstream out(settings, std::ios::binary | std::ios::trunc);
    out << SettingsText(file);
    out.close();
    if (!out) {
        PrintError("cannot write " + settings.string());
        return 1;
    }
    if (options.probe)
        PrintLine(std::string(choices.protocol ? "installed for " : "speaks ") + DialectName(decided.dialect) +
                  ": Protocol=" + file.protocol + ", AnalyzeMode=" + Switch(file.analyze) +
                  ", PonderMode=" + Switch(file.ponder) + ", CastleAndEP=" + Switch(file.castleAndEP) +
                  (file.engine.empty() ? "" : ", Engine=" + file.engine) +
                  (file.author.empty() ? "" : ", Author=" + file.author));
    for (const std::string& warning : decided.warnings) PrintLine("warning: " + warning);
    PrintLine("installed " + installed.string());
    PrintLine("  engine   " + engineFile.string() + " -> " + executable.string());
    PrintLine("  settings " + settings.string());
    return 0;
}

}  // namespace enghost
