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
#include "installation.h"
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
    return std::any_of(options.begin(), options.end(),
                       [&](const std::string& option) { return SameName(option, name); });
}

// What install is asked to do, checked: the choices that override the
// probe, the options to write, and the files to install.
struct InstallPlan {
    InstallChoices choices;
    std::vector<EngineOption> engineOptions;
    fs::path engines, module, executable;
    std::vector<fs::path> files;  // put beside the engine
    Installation installed;       // where the module will find its engine
};

// The choices and options as given; false (a message shown) when one is bad.
bool ReadChoices(const InstallOptions& options, InstallPlan* plan) {
    if (!ValidName(options.name)) {
        PrintError("bad engine name \"" + options.name + "\": use letters, digits, '-', '_' and '.'");
        return false;
    }
    InstallChoices& choices = plan->choices;
    Dialect dialect;
    if (!options.protocol.empty()) {
        if (!cecp::ReadDialectSetting(options.protocol.c_str(), &dialect)) {
            PrintError("bad --protocol \"" + options.protocol + "\": write 1 (the classic conversation), 2 or uci");
            return false;
        }
        choices.protocol = dialect;
    }
    choices.analyze = options.analyze;
    choices.ponder = options.ponder;
    choices.castleAndEP = options.castleAndEP;
    choices.author = options.author;
    choices.displayName = options.displayName;
    for (const std::string& text : options.options) {
        std::string error;
        auto option = ParseEngineOption(text, &error);
        if (!option) {
            PrintError(error);
            return false;
        }
        SetEngineOption(plan->engineOptions, std::move(*option));
    }
    for (const std::string* value : {&options.arguments, &options.author, &options.displayName}) {
        if (!WritableValue(*value)) {
            PrintError("the value \"" + *value + "\" cannot be kept in the settings file as it is (a line break, "
                       "blanks at its ends, or quotes around it)");
            return false;
        }
    }
    return true;
}

// The files to install and where they go; false (a message shown) when one
// is missing or the place is not fit.
bool FindPlaces(const InstallOptions& options, InstallPlan* plan) {
    std::error_code error;
    plan->engines = fs::absolute(options.engines, error);
    if (plan->engines.filename() != "engines") {
        PrintError("the folder " + options.engines +
                   " must be named engines: the module finds its engine's folder through that name");
        return false;
    }
    plan->module = options.module.empty() ? ProgramFolder() / "cecp-adapter.eng" : fs::absolute(options.module);
    if (!fs::is_regular_file(plan->module, error)) {
        PrintError("no module at " + plan->module.string() +
                   (options.module.empty() ? " (give one with --module)" : ""));
        return false;
    }
    // A file that is no module would fail only when the engine is first
    // opened: it is refused now.
    std::string problem;
    if (!CheckModule(plan->module, &problem)) {
        PrintError(plan->module.string() + " is not an engine module: " + problem);
        return false;
    }
    plan->executable = FindExecutable(options.executable);
    if (plan->executable.empty() || !fs::is_regular_file(plan->executable, error)) {
        PrintError("no engine program " + options.executable);
        return false;
    }
#ifndef _WIN32
    if ((fs::status(plan->executable, error).permissions() & fs::perms::owner_exec) == fs::perms::none) {
        PrintError("the engine program " + plan->executable.string() + " is not executable");
        return false;
    }
#endif
    for (const std::string& file : options.files) {
        plan->files.push_back(fs::absolute(file, error));
        if (!fs::is_regular_file(plan->files.back(), error)) {
            PrintError("no file " + file + " to put beside the engine");
            return false;
        }
    }
    if (!InstallationOf(plan->engines / (options.name + ".eng"), &plan->installed, &problem)) {
        PrintError(problem);
        return false;
    }
    if (!options.force && (fs::exists(plan->installed.module, error) || fs::exists(plan->installed.folder, error))) {
        PrintError(options.name + " is installed already in " + plan->engines.string() + " (--force replaces it)");
        return false;
    }
    return true;
}

// Asks the engine what it speaks, before anything is written. The exit
// status on failure (a message shown), 0 when the findings are in.
int Probe(const InstallOptions& options, const InstallPlan& plan, Findings* findings) {
    // uci and protover 2 tell the engine's name whatever the dialect; the
    // classic conversation is held when it is the one chosen, or when the
    // engine answers neither.
    ProbePlan probePlan;
    if (plan.choices.protocol) {
        probePlan.classic = *plan.choices.protocol == Dialect::kClassic;
        probePlan.classicUnlessAnswered = false;
    }
    ProbeFolder probeFolder;
    std::string problem;
    if (!probeFolder.Make(plan.files, &problem)) {
        PrintError(problem);
        return 1;
    }
    PrintLine("probing " + plan.executable.string() + (options.arguments.empty() ? "" : " " + options.arguments) +
              " ...");
    ProbeTarget target{plan.executable, options.arguments, probeFolder.path()};
    // Ctrl-C ends the probe's programs before the program ends.
    InstallInterruptHandler();
    if (!ProbeEngine(target, probePlan, ProbeBounds{}, findings, &problem)) {
        PrintError(problem);
        return 2;
    }
    if (Interrupted()) {
        PrintError("interrupted: nothing installed");
        return 130;
    }
    for (const std::string& line : DescribeFindings(*findings)) PrintLine("  " + line);
    if (EndedEverywhere(*findings) && AnsweredNothing(*findings)) {
        PrintError(plan.executable.string() + " is not a chess engine: it ended by itself in every conversation "
                   "without a chess engine's answer (nothing installed)");
        return 2;
    }
    return 0;
}

// The module, a link to the engine (a copy on Windows) and the files beside
// it; false (a message shown) when something cannot be written.
bool PlaceFiles(const std::string& name, const InstallPlan& plan) {
    const Installation& installed = plan.installed;
    std::error_code error;
    fs::create_directories(installed.folder, error);
    if (!error) fs::copy_file(plan.module, installed.module, fs::copy_options::overwrite_existing, error);
    if (!error) {
        if (fs::is_symlink(installed.executable, error) || fs::exists(installed.executable, error))
            fs::remove(installed.executable, error);
        error.clear();
#ifdef _WIN32
        fs::copy_file(plan.executable, installed.executable, fs::copy_options::overwrite_existing, error);
#else
        fs::create_symlink(plan.executable, installed.executable, error);
#endif
    }
    for (const fs::path& file : plan.files) {
        if (error) break;
        fs::copy_file(file, installed.folder / file.filename(), fs::copy_options::overwrite_existing, error);
    }
    if (error) PrintError("cannot install " + name + " in " + plan.engines.string() + ": " + error.message());
    return !error;
}

SettingsFile Settings(const InstallOptions& options, const InstallPlan& plan, const DecidedSettings& decided) {
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
    file.options = plan.engineOptions;
    return file;
}

void ReportInstalled(const InstallOptions& options, const InstallPlan& plan, const DecidedSettings& decided,
                     const SettingsFile& file) {
    if (options.probe)
        PrintLine(std::string(plan.choices.protocol ? "installed for " : "speaks ") + DialectName(decided.dialect) +
                  ": Protocol=" + file.protocol + ", AnalyzeMode=" + Switch(file.analyze) +
                  ", PonderMode=" + Switch(file.ponder) + ", CastleAndEP=" + Switch(file.castleAndEP) +
                  (file.engine.empty() ? "" : ", Engine=" + file.engine) +
                  (file.author.empty() ? "" : ", Author=" + file.author));
    for (const std::string& warning : decided.warnings) PrintLine("warning: " + warning);
    PrintLine("installed " + plan.installed.module.string());
    PrintLine("  engine   " + plan.installed.executable.string() + " -> " + plan.executable.string());
    PrintLine("  settings " + plan.installed.settings.string());
}

}  // namespace

int RunInstall(const InstallOptions& options) {
    InstallPlan plan;
    if (!ReadChoices(options, &plan) || !FindPlaces(options, &plan)) return 2;
    Findings findings;
    if (options.probe) {
        if (const int status = Probe(options, plan, &findings)) return status;
    }
    const DecidedSettings decided = Decide(findings, plan.choices);
    const std::vector<std::string>* announced = AnnouncedOptions(findings, decided.dialect);
    for (const auto& [name, value] : plan.engineOptions)
        if (announced && !Announced(*announced, name))
            PrintLine("warning: the engine announced no option \"" + name + "\"; it is written all the same");

    if (!PlaceFiles(options.name, plan)) return 1;
    const SettingsFile file = Settings(options, plan, decided);
    std::ofstream out(plan.installed.settings, std::ios::binary | std::ios::trunc);
    out << SettingsText(file);
    out.close();
    if (!out) {
        PrintError("cannot write " + plan.installed.settings.string());
        return 1;
    }
    ReportInstalled(options, plan, decided, file);
    return 0;
}

}  // namespace enghost
