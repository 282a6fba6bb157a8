// The reader thread itself on a real pipe, with the log open: the output is
// written into the pipe in the pieces the input gives (as framing_stream.h
// reads it; the stream always ends). The lines handed on are the expected
// lines, the reader says at the end of the stream that the engine has ended
// and, told to stop, closes its pipe and ends, and the log receives each line
// without its leading blanks. The one slow target: the thread, pipe and log
// are the point; fuzz_framing explores the framing's cuts at memory speed.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine_process.h"
#include "engine/reader_context.h"
#include "engine/transport.h"
#include "framing_stream.h"
#include "host/info_block.h"
#include "platform/log_file.h"
#include "platform/pipe.h"
#include "platform/thread.h"

// Nothing is interpreted here: no report may come.
extern "C" std::int32_t CECP_CALL Func3(std::uint32_t, std::uint32_t, std::uint32_t, void*) { std::abort(); }

namespace {

// Written by the reader thread, read once it has been joined.
std::vector<std::string> g_handed;

void RecordLine(const char* line) { g_handed.emplace_back(line); }

int g_log = -1;

std::string_view Unindented(std::string_view line) {
    const std::size_t start = line.find_first_not_of(" \t");
    return start == std::string_view::npos ? std::string_view() : line.substr(start);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char path[] = "/tmp/fuzz_framing_pipe_log_XXXXXX";
    const int made = mkstemp(path);
    if (made < 0) std::abort();
    close(made);
    // The module's own log, as an open with "Logfile" makes it; gone from the
    // folder at once.
    g_log = static_cast<int>(cecp::platform::CreateLogFile(path));
    if (g_log < 0) std::abort();
    unlink(path);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static cecp::fuzz::FramingStream stream;
    if (!cecp::fuzz::ReadFramingStream(data, size, &stream)) return 0;
    const std::string& raw = stream.output;
    static std::string folded;
    static std::vector<std::string_view> expected;
    cecp::fuzz::ExpectedLines(raw, true, &folded, &expected);

    using cecp::g_engine;
    if (ftruncate(g_log, 0) != 0) std::abort();
    g_engine.logFile = g_log;
    g_engine.exited = 0;
    g_handed.clear();

    cecp::platform::PipeEnds pipe;
    if (!cecp::platform::CreatePipeEnds(&pipe)) std::abort();
    cecp::ReaderContext& context = cecp::fuzz::FreshReader(RecordLine, pipe.read);
    int error = 0;
    const cecp::platform::Handle reader =
        cecp::platform::StartThread(cecp::ReaderThread, &context, cecp::platform::kReaderStackSize, &error);
    if (reader == cecp::platform::kNoThread) std::abort();

    // The engine writes its output and ends.
    std::size_t at = 0;
    for (std::size_t write = 0; at < raw.size(); ++write) {
        const std::size_t left = raw.size() - at;
        const std::size_t piece = cecp::fuzz::ReadSize(stream, write, left, left);
        if (!cecp::platform::WritePipe(pipe.write, raw.data() + at, piece)) std::abort();
        at += piece;
    }
    cecp::platform::ClosePipe(pipe.write);
    // The reader pauses at the end of the stream until it is told to stop, as
    // the shutdown would.
    while (g_engine.exited == 0) cecp::platform::YieldTimeSlice();
    context.keepReading = 0;
    cecp::platform::JoinThread(reader);
    g_engine.logFile = cecp::platform::kNoFile;
    if (context.pipeRead != cecp::platform::kNoPipe || g_engine.readerRunning != 0) std::abort();

    if (g_handed.size() != expected.size()) std::abort();
    std::string log;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (g_handed[i] != cecp::fuzz::UpToNul(expected[i])) std::abort();
        log += Unindented(expected[i]);
        log += '\n';
    }
    std::string written(log.size() + 1, '\0');
    const ssize_t got = pread(g_log, written.data(), written.size(), 0);
    if (got != static_cast<ssize_t>(log.size())) std::abort();
    written.resize(static_cast<std::size_t>(got));
    if (written != log) std::abort();
    g_engine.exited = 0;
    return 0;
}
