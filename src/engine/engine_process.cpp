// Starting and stopping the engine process.
#include "engine/engine_process.h"

#include <cstdio>

#include "engine/echo.h"
#include "engine/handle_use.h"
#include "engine/transport.h"
#include "platform/console.h"
#include "platform/error_report.h"
#include "platform/log_file.h"
#include "platform/pipe.h"
#include "platform/process.h"
#include "platform/thread.h"
#include "platform/version.h"

namespace cecp {

constinit EngineProcess g_engine;

namespace {

constexpr int kErrorTextSize = 1024;
// An engine ended by force is gone at once; this only bounds the wait.
constexpr int kForcedEndMilliseconds = 2000;
// How long the engine is given to follow "quit", then to follow the end of
// its input, before it is ended by force.
constexpr int kQuitMilliseconds = 1000;
constexpr int kEndOfInputMilliseconds = 2000;
constexpr int kWakeIntervalMilliseconds = 200;

// Tells the user why the engine could not be started. Always false, the
// launch's result.
bool ReportFailure(const char* caption, int error) {
    char text[kErrorTextSize];
    platform::ErrorText(error, text, kErrorTextSize - 4);
    platform::ShowError(caption, text);
    return false;
}

// Ends and releases a just-started engine unless released.
class ProcessOwner {
public:
    explicit ProcessOwner(platform::Handle process) : process_(process) {}
    ~ProcessOwner() {
        if (process_ == platform::kNoProcess) return;
        platform::EndProcess(process_);
        platform::WaitProcess(process_, kForcedEndMilliseconds);
        platform::CloseProcess(process_);
    }
    ProcessOwner(const ProcessOwner&) = delete;
    ProcessOwner& operator=(const ProcessOwner&) = delete;
    platform::Handle release() {
        platform::Handle process = process_;
        process_ = platform::kNoProcess;
        return process;
    }

private:
    platform::Handle process_;
};

void CloseInput() {
    platform::ClosePipe(TakeHandle(g_engine.stdinWrite, platform::kNoPipe));
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
    EngineProcess& e = g_engine;
    while (e.readerRunning != 0) {
        if (e.stdoutWrite != platform::kNoPipe) platform::WritePipe(e.stdoutWrite, " \n", 2);
        for (int waited = 0; waited < kWakeIntervalMilliseconds && e.readerRunning != 0; ++waited) {
            platform::SleepMilliseconds(1);
        }
    }
    platform::JoinThread(e.readerThread);
    e.readerThread = platform::kNoThread;
}

}  // namespace

platform::Handle TakeHandle(std::atomic<platform::Handle>& field, platform::Handle absent) {
    platform::Handle handle = field.exchange(absent);
    while (g_engine.handleUsers.load() != 0) platform::SleepMilliseconds(1);
    return handle;
}

bool StartEngineProcess(const EngineLaunch& launch) {
    EngineProcess& e = g_engine;
    e.process = platform::kNoProcess;
    e.stdinWrite = platform::kNoPipe;
    e.stdoutWrite = platform::kNoPipe;
    e.readerThread = platform::kNoThread;
    ReaderContext& reader = e.reader;
    reader.pipeRead = platform::kNoPipe;
    reader.process = platform::kNoProcess;
    reader.keepReading = 0;
    reader.readBuffer[0] = '\0';
    reader.writePos = 0;
    reader.readCount = 0;
    reader.cutPending = 0;
    reader.lastReceived = -1;
    reader.handLine = launch.line;
    reader.handEnd = launch.ended;
    e.exited = 0;
    e.inputStalled = 0;
    e.consoleAllocated = 0;

    // Every end is owned until it is recorded or handed to the engine, so
    // that each failure closes all that was opened.
    platform::PipeEnds ends;
    if (!platform::CreateOutputPipe(&ends)) return ReportFailure(launch.caption, platform::LastErrorCode());
    platform::PipeOwner outputRead(ends.read);
    platform::PipeOwner childOutput(ends.write);
    // The module's own write end keeps the pipe open for the shutdown's
    // wake-up writes.
    platform::PipeOwner outputWrite(platform::DuplicatePipeEnd(childOutput.get()));
    if (outputWrite.get() == platform::kNoPipe) return ReportFailure(launch.caption, platform::LastErrorCode());
    if (!platform::CreateInputPipe(&ends)) return ReportFailure(launch.caption, platform::LastErrorCode());
    platform::PipeOwner childInput(ends.read);
    platform::PipeOwner inputWrite(ends.write);

    platform::ProcessStart start;
    start.executable = launch.executable;
    start.arguments = launch.arguments;
    start.workingDirectory = launch.workingDirectory;
    start.standardInput = childInput.get();
    start.standardOutput = childOutput.get();
    int error = 0;
    ProcessOwner process(platform::StartProcess(start, &error));
    if (error != 0) return ReportFailure(launch.caption, error);
    // Only the engine holds its ends now.
    childInput.Reset();
    childOutput.Reset();

    reader.pipeRead = outputRead.get();
    reader.keepReading = 1;  // before the thread first tests it
    e.readerRunning = 1;
    // The engine's handle is released to the reader and the record only once
    // the reader runs; until then a failure ends the engine again.
    platform::Handle engine = process.release();
    reader.process = engine;
    platform::Handle thread = platform::StartThread(ReaderThread, &reader, platform::kReaderStackSize, &error);
    if (thread == platform::kNoThread) {
        reader.keepReading = 0;
        reader.pipeRead = platform::kNoPipe;
        reader.process = platform::kNoProcess;
        e.readerRunning = 0;
        ProcessOwner ending(engine);
        return ReportFailure(launch.caption, error);
    }
    outputRead.release();
    e.readerThread = thread;
    e.process = engine;
    e.stdinWrite = inputWrite.release();
    e.stdoutWrite = outputWrite.release();

    if (launch.consoleTitle != nullptr) {
        bool allocated = false;
        e.consoleBuffer = platform::OpenDebugConsole(launch.consoleTitle, &allocated);
        e.consoleAllocated = allocated ? 1 : 0;
    }
    if (launch.logPath != nullptr) {
        // Its first line says which module wrote it, before the reader may
        // write the engine's lines into it.
        platform::Handle log = platform::CreateLogFile(launch.logPath);
        if (log != platform::kNoFile) {
            char first[64];
            const int length = std::snprintf(first, sizeof first, "%scecp-adapter %s\n", kNoteMark, kVersion);
            if (length > 0) platform::WriteBytes(log, first, static_cast<std::size_t>(length));
        }
        e.logFile = log;
    }
    return true;
}

void StopEngineProcess(void (*beforeEnd)()) {
    EngineProcess& e = g_engine;
    e.reader.keepReading = 0;
    if (beforeEnd != nullptr) beforeEnd();

    AwaitEngineEnd(e.process);
    // However the reader ended, the engine has: no move will come from it,
    // also to a search that begins only now.
    e.exited = 1;
    AwaitReaderEnd();

    // Console and log close only now that the reader cannot write to them.
    platform::CloseLogFile(TakeHandle(e.logFile, platform::kNoFile));
    platform::CloseConsoleBuffer(TakeHandle(e.consoleBuffer, platform::kNoFile));
    if (e.consoleAllocated.exchange(0) != 0) platform::FreeDebugConsole();

    platform::ClosePipe(e.stdoutWrite);
    e.stdoutWrite = platform::kNoPipe;
    CloseInput();
    platform::CloseProcess(e.process);
    e.process = platform::kNoProcess;
    e.reader.process = platform::kNoProcess;
}

}  // namespace cecp
