#include "engine/transport.h"

namespace cecp {

// Placeholder until the pipe transport lands: no engine can be started yet.
void SendCommand(const char*) {}

}  // namespace cecp
