// What the module does when the platform loads it: find its own name and its
// engine's folder.
#include "engine/engine_settings.h"
#include "engine/installation.h"
#include "host/fixed_text.h"
#include "platform/load_hook.h"
#include "platform/module_path.h"

namespace cecp {

void OnModuleLoad() {
    // Room for far more than the module can use, so that a path too long for
    // the engine's buffers is told apart from one the platform cannot give.
    static char path[4096];
    if (!platform::ModuleFilePath(path, sizeof path)) path[0] = '\0';
    Installation installation;
    DeriveInstallation(path, &installation);
    CopyText(g_settings.engineDirectory, installation.engineDirectory);
    CopyText(g_settings.engineFileName, installation.engineFileName);
    CopyText(g_settings.installProblem, installation.problem);
}

}  // namespace cecp
