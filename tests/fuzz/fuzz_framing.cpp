// The reader's framing on arbitrary output cut into arbitrary reads: the
// lines handed on are ExpectedLines'. Each input goes through FoldLineEnds
// and DispatchLines called as the reader thread calls them, and after every
// read the buffer holds no line end. One input in 1024 (whose FNV-1a hash is a
// multiple of 1024, which every mutation scatters: the thread, pipe and log
// are slow by far) then goes through the reader thread itself, from a real
// pipe and with the log open: it says at the end of the stream that the
// engine has ended and, told to stop, closes its pipe and ends, and the log
// receives each line without its leading blanks.
//
// Input: a flags byte, a repeat byte, a count byte n (n % 16 lengths follow:
// the sizes of the first 64 reads, or writes into the pipe, v below 32 for v
// bytes, any other (v - 31) * 32, 0 as much as the buffer takes; later reads
// fill the buffer, as endless small reads of a long line would only repeat
// its scan), then the engine's output. So that long lines come from small
// inputs, a repeat byte r below 16 repeats the output r + 1 times (up to
// 16384 bytes), and one of 16 to 31 puts (r - 15) * 256 dots before it.
// Flags: 1 the stream ends (it always does through the pipe); 2 a failed read
// between every two reads. (The dialects' readers are fuzz_engine_lines'.)
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine_process.h"
#include "engine/reader_context.h"
#include "engine/transport.h"
#include "host/info_block.h"
#include "platform/log_file.h"
#include "platform/pipe.h"
#include "platform/thread.h"

// No line is interpreted here: no report may come.
extern "C" std::int32_t CECP_CALL Func3(std::uint32_t, std::uint32_t, std::uint32_t, void*) { std::abort(); }

namespace {

using cecp::kReadBufferSize;

struct Stream {
    std::uint8_t flags = 0;
    const std::uint8_t* lengths = nullptr;
    std::size_t lengthCount = 0;
    std::string output;
};

// False when the input is too short for its header.
bool ReadStream(const std::uint8_t* data, std::size_t size, Stream* stream) {
    constexpr std::size_t kHeader = 3, kMaxOutput = 4 * kReadBufferSize;
    if (size < kHeader || size < kHeader + data[2] % 16) return false;
    stream->flags = data[0];
    stream->lengthCount = data[2] % 16;
    stream->lengths = data + kHeader;
    const std::string_view once(reinterpret_cast<const char*>(data + kHeader + stream->lengthCount),
                                size - kHeader - stream->lengthCount);
    stream->output.assign(data[1] >= 16 && data[1] < 32 ? (data[1] - 15) * 256u : 0, '.');
    for (int i = 0; i < (data[1] < 16 ? data[1] + 1 : 1) && stream->output.size() < kMaxOutput; ++i)
        stream->output += once;
    if (stream->output.size() > kMaxOutput) stream->output.resize(kMaxOutput);
    return true;
}

// The size of read number index (from 0), at most room and left (the bytes
// still to come).
std::size_t ReadSize(const Stream& stream, std::size_t index, std::size_t room, std::size_t left) {
    std::size_t want = stream.lengthCount == 0 || index >= 64 ? room : stream.lengths[index % stream.lengthCount];
    if (want >= 32) want = (want - 31) * 32;
    if (want == 0 || want > room) want = room;
    return want < left ? want : left;
}

// The lines the reader hands on for the output, in order (each ends for the
// module at its first NUL): the output folded as one piece (every
// alternating run of carriage returns and line feeds, judged by the bytes as
// received, is one line feed) cut at its line feeds; a line longer than the
// buffer in pieces of a full buffer (one byte less when a carriage return,
// maybe half of a line end, would end the piece), with no empty line after a
// piece that ended it exactly; the unfinished last line only when the stream
// ends. The views point into folded.
void ExpectedLines(const std::string& output, bool ends, std::string* folded, std::vector<std::string_view>* lines) {
    folded->clear();
    int previous = -1;
    for (const unsigned char byte : output) {
        if ((byte == '\n' && previous == '\r') || (byte == '\r' && previous == '\n')) {
            if (!folded->empty()) folded->back() = '\n';
        } else {
            *folded += static_cast<char>(byte);
        }
        previous = byte;
    }
    lines->clear();
    const auto add = [&](std::string_view line, bool complete) {
        bool cut = false;
        for (; line.size() >= static_cast<std::size_t>(kReadBufferSize); cut = true) {
            const std::size_t piece = line[kReadBufferSize - 1] == '\r' ? kReadBufferSize - 1 : kReadBufferSize;
            lines->push_back(line.substr(0, piece));
            line.remove_prefix(piece);
        }
        if (complete && !(cut && line.empty())) lines->push_back(line);
    };
    const std::string_view text(*folded);
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1)
        add(text.substr(start, end - start), true);
    add(text.substr(start), ends && start < text.size());
}

// What the reader handed on for the input under way: written by the reader
// thread when there is one, read once it has been joined.
std::vector<std::string> g_handed;
int g_log = -1;

void TakeLine(const char* line) { g_handed.emplace_back(line); }

// The reader's record as the engine's launch leaves it, reading from pipe.
std::unique_ptr<cecp::ReaderContext> FreshReader(cecp::platform::Handle pipe) {
    auto context = std::make_unique<cecp::ReaderContext>();
    context->pipeRead = pipe;
    context->keepReading = 1;
    context->handLine = TakeLine;
    return context;
}

void ReadFromMemory(const Stream& stream, bool ends) {
    const std::string& raw = stream.output;
    const auto reader = FreshReader(cecp::platform::kNoPipe);
    cecp::ReaderContext& context = *reader;
    std::size_t at = 0;
    for (std::size_t read = 0; at < raw.size(); ++read) {
        const std::size_t room = static_cast<std::size_t>(kReadBufferSize - context.writePos);
        if (room == 0) std::abort();  // the reader would ask for nothing, forever
        const std::size_t got = ReadSize(stream, read, room, raw.size() - at);
        std::memcpy(context.readBuffer + context.writePos, raw.data() + at, got);
        at += got;
        cecp::FoldLineEnds(&context, static_cast<std::int32_t>(got));
        context.readCount = static_cast<std::int32_t>(got);
        cecp::DispatchLines(&context);
        // The unfinished line stays within the buffer, ended, and holds no line end.
        if (context.writePos < 0 || context.writePos >= kReadBufferSize || context.readBuffer[context.writePos] != 0 ||
            std::memchr(context.readBuffer, '\n', static_cast<std::size_t>(context.writePos)) != nullptr)
            std::abort();
        if (stream.flags & 2) {
            context.readCount = -1;
            cecp::DispatchLines(&context);
        }
    }
    if (ends) {
        context.readCount = 0;
        cecp::DispatchLines(&context);
        if (context.writePos != 0) std::abort();
    }
}

// The lines handed on are the expected ones, each up to its first NUL.
void CheckHanded(const std::vector<std::string_view>& expected) {
    if (g_handed.size() != expected.size()) std::abort();
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (g_handed[i] != expected[i].substr(0, expected[i].find('\0'))) std::abort();
}

void ReadThroughPipe(const Stream& stream, const std::vector<std::string_view>& expected) {
    using cecp::g_engine;
    if (ftruncate(g_log, 0) != 0) std::abort();
    g_engine.logFile = g_log;
    g_engine.exited = 0;
    cecp::platform::PipeEnds pipe;
    if (!cecp::platform::CreatePipeEnds(&pipe)) std::abort();
    const auto context = FreshReader(pipe.read);
    int error = 0;
    const cecp::platform::Handle reader =
        cecp::platform::StartThread(cecp::ReaderThread, context.get(), cecp::platform::kReaderStackSize, &error);
    if (reader == cecp::platform::kNoThread) std::abort();

    // The engine writes its output and ends.
    const std::string& raw = stream.output;
    std::size_t at = 0;
    for (std::size_t write = 0; at < raw.size(); ++write) {
        const std::size_t left = raw.size() - at;
        const std::size_t piece = ReadSize(stream, write, left, left);
        if (!cecp::platform::WritePipe(pipe.write, raw.data() + at, piece)) std::abort();
        at += piece;
    }
    cecp::platform::ClosePipe(pipe.write);
    // The reader pauses at the end of the stream until it is told to stop, as
    // the shutdown would.
    while (g_engine.exited == 0) cecp::platform::YieldTimeSlice();
    context->keepReading = 0;
    cecp::platform::JoinThread(reader);
    g_engine.logFile = cecp::platform::kNoFile;
    g_engine.exited = 0;
    if (context->pipeRead != cecp::platform::kNoPipe || g_engine.readerRunning != 0) std::abort();
    CheckHanded(expected);

    // The log holds each line without its leading blanks.
    std::string log;
    for (std::string_view line : expected) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start != std::string_view::npos) log += line.substr(start);
        log += '\n';
    }
    std::string written(log.size() + 1, '\0');
    const ssize_t got = pread(g_log, written.data(), written.size(), 0);
    if (got != static_cast<ssize_t>(log.size())) std::abort();
    written.resize(static_cast<std::size_t>(got));
    if (written != log) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char path[] = "/tmp/fuzz_framing_log_XXXXXX";
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
    static Stream stream;
    if (!ReadStream(data, size, &stream)) return 0;
    const bool ends = (stream.flags & 1) != 0;
    static std::string folded;
    static std::vector<std::string_view> expected;
    ExpectedLines(stream.output, ends, &folded, &expected);
    g_handed.clear();
    ReadFromMemory(stream, ends);
    CheckHanded(expected);

    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
    if (hash % 1024 != 0) return 0;
    ExpectedLines(stream.output, true, &folded, &expected);
    g_handed.clear();
    ReadThroughPipe(stream, expected);
    return 0;
}
