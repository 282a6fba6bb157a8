// The debug console that shows the engine's output.
#pragma once

#include "platform/handle.h"

namespace cecp::platform {

// Windows: allocates a console for the process and a text screen buffer of
// its own, made active and titled title (when not empty). POSIX: the host's
// standard error, and no title. Returns the buffer, or kNoFile when there is
// none; *allocated tells whether a console is left to free with
// FreeDebugConsole (a console whose buffer could not be made is freed here).
Handle OpenDebugConsole(const char* title, bool* allocated);

void CloseConsoleBuffer(Handle buffer);
void FreeDebugConsole();

}  // namespace cecp::platform
