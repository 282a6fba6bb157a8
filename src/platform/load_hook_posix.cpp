#include "platform/load_hook.h"

namespace {

__attribute__((constructor)) void ModuleLoaded() { cecp::OnModuleLoad(); }

}  // namespace
