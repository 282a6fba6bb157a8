#include "engine/engine_settings.h"

namespace cecp {

constinit EngineSettings g_settings;

}  // namespace cecp
