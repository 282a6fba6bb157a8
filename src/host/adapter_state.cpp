#include "host/adapter_state.h"

namespace cecp {

// Constant initialisation: no constructor runs at load, so the load hook and
// the exports never see a half-built record. The destructor frees the move
// list of the move-text recogniser at unload.
constinit AdapterState g_state;

}  // namespace cecp
