// A module installed with the scripted test engine as its engine, loaded as
// the host loads it, and what the host process holds (descriptors or
// handles, threads, child processes) to tell leaks.
#pragma once

#include <filesystem>
#include <string>

#include "module_loader.h"

namespace cecp::test {

// The test engine built beside the test programs.
std::filesystem::path TestEnginePath();

struct InstalledEngine {
    // Installs engines/NAME.eng and its folder; name is lower-case, as the
    // Windows module works in lower case.
    explicit InstalledEngine(const std::string& name);

    // Copies the test engine in as the engine's executable.
    void InstallExecutable() const;
    // Writes the script and the settings: CommandLine names the script and
    // the transcript (then extraArguments); more settings of "Parameter"
    // follow as given (one "key=value" a line).
    void Configure(const std::string& script, const std::string& parameters = "",
                   const std::string& extraArguments = "") const;
    std::string Transcript() const { return ReadFile(folder / "transcript.txt"); }
    std::string Log() const { return ReadFile(folder / "logfile.text"); }

    std::int32_t Open() { return api.Eng1(infoBlock, 0, 0, 0, 0, 7); }

    std::string name;
    ScratchFolder scratch;
    std::filesystem::path module;
    std::filesystem::path folder;  // the engine's folder
    LoadedModule loaded;
    ModuleApi api;
    bool ready = false;
    unsigned char infoBlock[1024] = {};
};

// What the process holds right now.
struct ProcessCounts {
    long handles = 0;   // open descriptors, or handles on Windows
    long threads = 0;
    long children = 0;  // child processes, zombies included
};
ProcessCounts CountProcessResources();
// Counts again (for up to three seconds) until nothing is held beyond
// before: a system may take a moment to account for a thread or handle
// gone. Without handlesToo the handles are not waited for: under wine a child
// that crashed or was ended by force leaves handles of wine's own for good.
ProcessCounts SettledCounts(const ProcessCounts& before, bool handlesToo = true);
// Whether a child that crashed or was ended by force leaves nothing in its
// parent: under wine it leaves a thread, an event and a registry key handle
// of wine's own (an engine that ends by itself leaves nothing there either).
#ifdef _WIN32
inline constexpr bool kForcedEndsLeaveNoHandles = false;
#else
inline constexpr bool kForcedEndsLeaveNoHandles = true;
#endif

}  // namespace cecp::test
