#include <fcntl.h>
#include <unistd.h>

#include "platform/console.h"

namespace cecp::platform {

Handle OpenDebugConsole(const char*, bool* allocated) {
    *allocated = false;
    int copy = fcntl(2, F_DUPFD_CLOEXEC, 3);
    // Nothing is allocated: the host's own standard error serves.
    return copy < 0 ? kNoFile : copy;
}

void CloseConsoleBuffer(Handle buffer) {
    if (buffer != kNoFile) close(static_cast<int>(buffer));
}

void FreeDebugConsole() {}

}  // namespace cecp::platform
