// What the module does when the platform loads it: find its own name and its
// engine's folder.
#include "engine/installation.h"
#include "host/adapter_state.h"
#include "host/fixed_text.h"
#include "platform/load_hook.h"
#include "platform/module_path.h"

namespace cecp {

void OnModuleLoad() {
    char path[kModulePathLimit + 1];
    if (!platform::ModuleFilePath(path, sizeof path)) path[0] = '\0';
    Installation installation;
    DeriveInstallation(path, &installation);
    CopyText(g_state.engineDirectory, installation.engineDirectory);
    CopyText(g_state.engineFileName, installation.engineFileName);
    CopyText(g_state.installProblem, installation.problem);
}

}  // namespace cecp
