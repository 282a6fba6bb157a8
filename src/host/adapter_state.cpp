#include "host/adapter_state.h"

#include <mutex>

namespace cecp {

// Constant initialisation: no constructor runs at load, so the load hook and
// the exports never see a half-built record. The destructor frees the move
// list of the move-text recogniser at unload.
constinit AdapterState g_state;

namespace {
std::mutex g_positionMutex;
}  // namespace

Position EnginePositionCopy() {
    std::lock_guard lock(g_positionMutex);
    return g_state.enginePosition;
}

void SetEnginePosition(const Position& position) {
    std::lock_guard lock(g_positionMutex);
    g_state.enginePosition = position;
}

}  // namespace cecp
