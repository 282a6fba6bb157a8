#include "engine/echo.h"

#include "engine/handle_use.h"
#include "platform/log_file.h"

namespace cecp {

void EchoLine(const char* text, std::size_t length) {
    HandleUse use;
    platform::Handle console = g_state.consoleBuffer.load();
    if (console != platform::kNoFile) {
        platform::WriteBytes(console, text, length);
        platform::WriteBytes(console, "\r", 1);
    }
    platform::Handle log = g_state.logFile.load();
    if (log != platform::kNoFile) platform::WriteBytes(log, text, length);
}

}  // namespace cecp
