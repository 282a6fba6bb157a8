#include "engine/echo.h"

#include <cstdio>

#include "engine/handle_use.h"
#include "platform/log_file.h"

namespace cecp {

void EchoLine(const char* text, std::size_t length) {
    HandleUse use;
    platform::Handle console = g_engine.consoleBuffer.load();
    if (console != platform::kNoFile) {
        platform::WriteBytes(console, text, length);
        platform::WriteBytes(console, "\r", 1);
    }
    platform::Handle log = g_engine.logFile.load();
    if (log != platform::kNoFile) platform::WriteBytes(log, text, length);
}

void LogNote(const char* text) {
    HandleUse use;
    platform::Handle log = g_engine.logFile.load();
    if (log == platform::kNoFile) return;
    char line[512];
    int length = std::snprintf(line, sizeof line, "%s%.500s\n", kNoteMark, text);
    if (length > 0) platform::WriteBytes(log, line, static_cast<std::size_t>(length));
}

}  // namespace cecp
