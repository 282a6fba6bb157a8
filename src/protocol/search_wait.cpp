#include "protocol/search_wait.h"

#include "host/adapter_state.h"

namespace cecp {

void EndMoveWait() { g_state.awaitingMove = 0; }

}  // namespace cecp
