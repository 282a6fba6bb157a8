#include "engine/echo.h"

namespace cecp {

// Console and log are not written by this build yet.
void EchoLine(const char*, std::size_t) {}

}  // namespace cecp
