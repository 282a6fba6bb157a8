#include "protocol/conversation.h"

#include <cstdio>
#include <cstring>

#include "engine/engine_config.h"
#include "engine/engine_process.h"
#include "engine/engine_settings.h"
#include "engine/installation.h"
#include "host/fixed_text.h"
#include "platform/error_report.h"
#include "protocol/dialect.h"
#include "protocol/search_driver.h"
#include "protocol/search_state.h"
#include "protocol/search_wait.h"

namespace cecp {
namespace {

constexpr int kProblemSize = 1024;

// The last component of a path.
const char* FileNameOf(const char* path) {
    const char* name = path;
    for (const char* at = path; *at != '\0'; ++at) {
        if (*at == '/' || *at == '\\') name = at + 1;
    }
    return name;
}

void SayGoodbye() {
    StopSearch();
    DialectUse use;
    if (use) use.dialect().sayGoodbye(use.state());
}

// The reader thread's way with each line of the engine's output.
void ReadLine(const char* line) {
    DialectUse use;
    if (use) use.dialect().readLine(use.state(), line);
}

// Drops the open dialect's state once no operation holds it.
void CloseDialect() {
    const Dialect* dialect = g_search.dialect.load();
    DialectState* state = SwapOpenDialect(nullptr, nullptr);
    if (dialect != nullptr && state != nullptr) dialect->close(state);
}

}  // namespace

bool OpenEngine(char* problem, std::size_t size) {
    problem[0] = '\0';
    EngineSettings& s = g_settings;
    s.castleAndEP = 0;
    s.ponderMode = 0;
    s.analyzeMode = 0;
    EnginePaths paths;
    if (s.installProblem[0] != '\0' || !BuildEnginePaths(s.engineDirectory, s.engineFileName, &paths)) {
        platform::ShowError(s.engineFileName[0] != '\0' ? s.engineFileName : "cecp-adapter",
                            s.installProblem[0] != '\0' ? s.installProblem : "the engine's paths are too long");
        return false;
    }

    EngineConfig config;
    ReadEngineConfig(paths.initPath, &config);
    const Dialect* dialect = DialectNamed(config.protocol);
    if (dialect == nullptr) {
        char text[kProblemSize];
        std::snprintf(text, sizeof text, "unknown Protocol \"%s\" in %s (use 1, 2 or uci)", config.protocol,
                      FileNameOf(paths.initPath));
        platform::ShowError(s.engineFileName, text);
        return false;
    }
    std::memcpy(s.engineOptions, config.options, sizeof s.engineOptions);
    s.analyzeMode = config.analyzeMode;
    s.ponderMode = config.ponderMode;
    s.castleAndEP = config.castleAndEP;
    s.evaluationWhite = config.evaluationWhite;
    CopyText(s.authorName, config.author);
    CopyText(s.engineName, config.engine);

    EngineLaunch launch;
    launch.executable = paths.enginePath;
    launch.arguments = config.commandLine;
    launch.workingDirectory = s.engineDirectory;
    launch.caption = s.engineFileName;
    launch.consoleTitle = ReadDebugSwitch(paths.initPath) ? s.engineName : nullptr;
    launch.logPath = ReadLogfileSwitch(paths.initPath) ? paths.logPath : nullptr;
    launch.line = ReadLine;
    launch.ended = EndMoveWait;
    // The dialect's state is there before the engine's first line.
    DialectState* state = dialect->open();
    SwapOpenDialect(dialect, state);
    if (!StartEngineProcess(launch)) {
        CloseDialect();
        return false;
    }
    if (!dialect->greet(state, problem, size)) {
        CloseEngine();
        if (problem[0] == '\0') std::snprintf(problem, size, "the engine could not be greeted");
        return false;
    }
    return true;
}

void CloseEngine() {
    StopEngineProcess(SayGoodbye);
    // A search that waits on another thread ends now: no move will come.
    EndMoveWait();
    CloseDialect();
}

}  // namespace cecp
