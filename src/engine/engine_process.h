// The engine process: its pipes, its reader thread, its debug console and log.
//
// This layer knows nothing of dialects or searches: it starts the engine,
// hands each line of its output and the end of that output to the callbacks
// it was given, and stops it again. Its record lives from load to unload and
// is constant-initialised, like every record of the module.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/reader_context.h"
#include "platform/handle.h"

namespace cecp {

using Flag = std::atomic<std::int32_t>;

struct EngineProcess {
    platform::Handle process = platform::kNoProcess;
    // Read by SendCommand on any host thread while the shutdown may take it.
    std::atomic<platform::Handle> stdinWrite{platform::kNoPipe};
    platform::Handle stdoutWrite = platform::kNoPipe;
    ReaderContext reader;
    platform::Handle readerThread = 0;  // joined by the shutdown
    Flag readerRunning{0};
    // The engine process has ended (or could not be watched any more): no
    // move will come, and nothing more is written to it.
    Flag exited{0};
    // The engine's input was full the last time a command waited for room.
    Flag inputStalled{0};
    Flag consoleAllocated{0};
    std::atomic<platform::Handle> consoleBuffer{platform::kNoFile};
    std::atomic<platform::Handle> logFile{platform::kNoFile};
    // Writers to the engine's input, the console or the log that are under
    // way: the shutdown closes those handles only once none is.
    Flag handleUsers{0};
};

extern EngineProcess g_engine;

struct EngineLaunch {
    const char* executable = "";
    const char* arguments = "";
    const char* workingDirectory = "";
    // The caption of an error shown to the user.
    const char* caption = "";
    // The debug console's title, or null for no console.
    const char* consoleTitle = nullptr;
    // The log file's path, or null for no log.
    const char* logPath = nullptr;
    // The reader thread's callbacks: every line of the engine's output, and
    // the end of that output (the engine has ended).
    LineHandler line = nullptr;
    void (*ended)() = nullptr;
};

// Starts the engine on pipes with its reader thread and the optional console
// and log. True when the engine runs; false after the user has been told why
// it could not be started.
bool StartEngineProcess(const EngineLaunch& launch);

// Stops reading the engine's output, calls beforeEnd (which says goodbye),
// waits a bounded time for the engine to end (ending it by force otherwise)
// and for the reader thread, then closes everything.
void StopEngineProcess(void (*beforeEnd)());

}  // namespace cecp
