#include <cstdio>
#include <cstring>

#include "engine/engine_config.h"
#include "engine/engine_process.h"
#include "engine/installation.h"
#include "engine/transport.h"
#include "host/adapter_state.h"
#include "host/fixed_text.h"
#include "platform/console.h"
#include "platform/error_report.h"
#include "platform/log_file.h"
#include "platform/pipe.h"
#include "platform/process.h"
#include "platform/thread.h"
#include "protocol/dialect.h"

namespace cecp {
namespace {

constexpr int kErrorTextSize = 1024;
// An engine ended by force is gone at once; this only bounds the wait.
constexpr int kForcedEndMilliseconds = 2000;

// Tells the user why the engine could not be started, captioned with the
// module's file name. Always false, the launch's result.
bool ReportFailure(int error) {
    char text[kErrorTextSize];
    platform::ErrorText(error, text, kErrorTextSize - 4);
    platform::ShowError(g_state.engineFileName, text);
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

// The last component of a path.
const char* FileNameOf(const char* path) {
    const char* name = path;
    for (const char* at = path; *at != '\0'; ++at) {
        if (*at == '/' || *at == '\\') name = at + 1;
    }
    return name;
}

}  // namespace

bool LaunchEngine() {
    AdapterState& s = g_state;
    EnginePaths paths;
    if (s.installProblem[0] != '\0' ||
        !BuildEnginePaths(s.engineDirectory, s.engineFileName, &paths)) {
        platform::ShowError(s.engineFileName[0] != '\0' ? s.engineFileName : "cecp-adapter",
                            s.installProblem[0] != '\0' ? s.installProblem
                                                        : "the engine's paths are too long");
        return false;
    }

    EngineConfig config;
    ReadEngineConfig(paths.initPath, &config);
    const Dialect* dialect = DialectNamed(config.protocol);
    if (dialect == nullptr) {
        char text[kErrorTextSize];
        std::snprintf(text, sizeof text, "unknown Protocol \"%s\" in %s (use 1, 2 or uci)", config.protocol,
                      FileNameOf(paths.initPath));
        platform::ShowError(s.engineFileName, text);
        return false;
    }
    std::memcpy(s.engineOptions, config.options, sizeof s.engineOptions);
    s.analyzeMode = config.analyzeMode;
    s.ponderMode = config.ponderMode;
    s.castleAndEP = config.castleAndEP;
    s.evaluationWhite = config.evaluationWhite;
    CopyText(s.authorName, config.author);
    CopyText(s.engineName, config.engine);

    s.engineProcess = platform::kNoProcess;
    s.engineStdinWrite = platform::kNoPipe;
    s.engineStdoutWrite = platform::kNoPipe;
    s.readerThread = platform::kNoThread;
    ReaderContext& reader = s.reader;
    reader.pipeRead = platform::kNoPipe;
    reader.process = platform::kNoProcess;
    reader.keepReading = 0;
    reader.readBuffer[0] = '\0';
    reader.writePos = 0;
    reader.readCount = 0;
    reader.cutPending = 0;
    reader.lastReceived = -1;
    reader.handLine = dialect->readLine;
    s.engineExited = 0;
    s.engineInputStalled = 0;

    // Every end is owned until it is recorded or handed to the engine, so
    // that each failure closes all that was opened.
    platform::PipeEnds ends;
    if (!platform::CreateOutputPipe(&ends)) return ReportFailure(platform::LastErrorCode());
    platform::PipeOwner outputRead(ends.read);
    platform::PipeOwner childOutput(ends.write);
    // The module's own write end keeps the pipe open for the shutdown's
    // wake-up writes.
    platform::PipeOwner outputWrite(platform::DuplicatePipeEnd(childOutput.get()));
    if (outputWrite.get() == platform::kNoPipe) return ReportFailure(platform::LastErrorCode());
    if (!platform::CreateInputPipe(&ends)) return ReportFailure(platform::LastErrorCode());
    platform::PipeOwner childInput(ends.read);
    platform::PipeOwner inputWrite(ends.write);

    platform::ProcessStart start;
    start.executable = paths.enginePath;
    start.arguments = config.commandLine;
    start.workingDirectory = s.engineDirectory;
    start.standardInput = childInput.get();
    start.standardOutput = childOutput.get();
    int error = 0;
    ProcessOwner process(platform::StartProcess(start, &error));
    if (error != 0) return ReportFailure(error);
    // Only the engine holds its ends now.
    childInput.Reset();
    childOutput.Reset();

    reader.pipeRead = outputRead.get();
    reader.keepReading = 1;  // before the thread first tests it
    s.readerRunning = 1;
    // The engine's handle is released to the reader and the record only once
    // the reader runs; until then a failure ends the engine again.
    platform::Handle engine = process.release();
    reader.process = engine;
    platform::Handle thread = platform::StartThread(ReaderThread, &reader, platform::kReaderStackSize, &error);
    if (thread == platform::kNoThread) {
        reader.keepReading = 0;
        reader.pipeRead = platform::kNoPipe;
        reader.process = platform::kNoProcess;
        s.readerRunning = 0;
        ProcessOwner ending(engine);
        return ReportFailure(error);
    }
    outputRead.release();
    s.readerThread = thread;
    s.engineProcess = engine;
    s.engineStdinWrite = inputWrite.release();
    s.engineStdoutWrite = outputWrite.release();
    s.dialect = dialect;

    if (ReadDebugSwitch(paths.initPath)) {
        bool allocated = false;
        s.consoleBuffer = platform::OpenDebugConsole(s.engineName, &allocated);
        s.consoleAllocated = allocated ? 1 : 0;
    }
    if (ReadLogfileSwitch(paths.initPath)) s.logFile = platform::CreateLogFile(paths.logPath);
    return true;
}

}  // namespace cecp
