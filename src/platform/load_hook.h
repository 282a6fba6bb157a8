// The platform's load hook of the module (DllMain's process attach on
// Windows, a shared-object constructor elsewhere) calls this once, after
// static initialisation. The host part of the module defines it.
#pragma once

namespace cecp {

void OnModuleLoad();

}  // namespace cecp
