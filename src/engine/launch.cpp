#include "engine/engine_config.h"
#include "engine/engine_process.h"
#include "engine/installation.h"
#include "host/adapter_state.h"
#include "host/fixed_text.h"
#include "platform/error_report.h"

namespace cecp {

bool LaunchEngine() {
    AdapterState& s = g_state;
    EnginePaths paths;
    if (s.installProblem[0] != '\0' ||
        !BuildEnginePaths(s.engineDirectory, s.engineFileName, &paths)) {
        platform::ShowError(s.engineFileName[0] != '\0' ? s.engineFileName : "cecp-adapter",
                            s.installProblem[0] != '\0' ? s.installProblem
                                                        : "the engine's paths are too long");
        return false;
    }

    EngineConfig config;
    ReadEngineConfig(paths.initPath, &config);
    s.analyzeMode = config.analyzeMode;
    s.ponderMode = config.ponderMode;
    s.castleAndEP = config.castleAndEP;
    s.evaluationWhite = config.evaluationWhite;
    CopyText(s.authorName, config.author);
    CopyText(s.engineName, config.engine);

    // The engine process itself is not started yet.
    platform::ShowError(s.engineFileName, "starting engine processes is not available in this build");
    return false;
}

void ShutdownEngine() {}

}  // namespace cecp
