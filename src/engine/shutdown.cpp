#include "engine/engine_process.h"
#include "engine/handle_use.h"
#include "engine/transport.h"
#include "host/adapter_state.h"
#include "host/exports.h"
#include "platform/console.h"
#include "platform/log_file.h"
#include "platform/pipe.h"
#include "platform/process.h"
#include "platform/thread.h"
#include "protocol/dialect.h"
#include "protocol/search_wait.h"

namespace cecp {
namespace {

// How long the engine is given to follow "quit", then to follow the end of
// its input, before it is ended by force.
constexpr int kQuitMilliseconds = 1000;
constexpr int kEndOfInputMilliseconds = 2000;
constexpr int kWakeIntervalMilliseconds = 200;

void CloseInput() {
    platform::ClosePipe(TakeHandle(g_state.engineStdinWrite, platform::kNoPipe));
}

// Waits for the engine to end: after "quit", then after the end of its
// input; one that is still running then is ended by force.
void AwaitEngineEnd(platform::Handle process) {
    if (platform::WaitProcess(process, kQuitMilliseconds)) return;
    CloseInput();
    if (platform::WaitProcess(process, kEndOfInputMilliseconds)) return;
    platform::EndProcess(process);
    platform::WaitProcess(process, kEndOfInputMilliseconds);
}

// The reader ends when the engine has ended, its read watching the process;
// a pipe still held by something the engine started is woken by writes.
void AwaitReaderEnd() {
    AdapterState& s = g_state;
    while (s.readerRunning != 0) {
        if (s.engineStdoutWrite != platform::kNoPipe) platform::WritePipe(s.engineStdoutWrite, " \n", 2);
        for (int waited = 0; waited < kWakeIntervalMilliseconds && s.readerRunning != 0; ++waited) {
            platform::SleepMilliseconds(1);
        }
    }
    platform::JoinThread(s.readerThread);
    s.readerThread = platform::kNoThread;
}

}  // namespace

platform::Handle TakeHandle(std::atomic<platform::Handle>& field, platform::Handle absent) {
    platform::Handle handle = field.exchange(absent);
    while (g_state.handleUsers.load() != 0) platform::SleepMilliseconds(1);
    return handle;
}

void ShutdownEngine() {
    AdapterState& s = g_state;
    s.reader.keepReading = 0;
    Eng3();
    OpenDialect().sayGoodbye();

    AwaitEngineEnd(s.engineProcess);
    AwaitReaderEnd();
    // A search that waits on another thread ends now: no move will come.
    EndMoveWait();

    // Console and log close only now that the reader cannot write to them.
    platform::CloseLogFile(TakeHandle(s.logFile, platform::kNoFile));
    platform::CloseConsoleBuffer(TakeHandle(s.consoleBuffer, platform::kNoFile));
    if (s.consoleAllocated.exchange(0) != 0) platform::FreeDebugConsole();

    platform::ClosePipe(s.engineStdoutWrite);
    s.engineStdoutWrite = platform::kNoPipe;
    CloseInput();
    platform::CloseProcess(s.engineProcess);
    s.engineProcess = platform::kNoProcess;
    s.reader.process = platform::kNoProcess;
    s.dialect = nullptr;
}

}  // namespace cecp
