#include "host/host_link.h"

#include <mutex>

namespace cecp {

// Constant initialisation: no constructor runs at load, so the load hook and
// the exports never see a half-built record. The destructor frees the move
// list of the move-text recogniser at unload.
constinit HostLink g_host;

namespace {
std::mutex g_positionMutex;
}  // namespace

Position EnginePositionCopy() {
    std::lock_guard lock(g_positionMutex);
    return g_host.enginePosition;
}

void SetEnginePosition(const Position& position) {
    std::lock_guard lock(g_positionMutex);
    g_host.enginePosition = position;
}

}  // namespace cecp
