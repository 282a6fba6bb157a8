// The reader's line framing on arbitrary engine output cut into arbitrary
// reads: FoldLineEnds and DispatchLines are called exactly as the reader
// thread calls them, and every line handed on is checked against the output
// folded as one piece.
//
// What must hold, however the output is cut:
// - no line handed on holds a line feed, and each is NUL-terminated where
//   the module says it ends;
// - the lines are the folded output's lines, in order, none lost, none
//   doubled: a line longer than the buffer comes in pieces of a full buffer
//   (one byte less when a carriage return, maybe half of a line end, would
//   end the piece), with no empty line after a piece that ended it exactly;
// - at the end of the stream the unfinished last line is handed on too;
// - the log receives each line without its leading blanks and tabs, through
//   a line feed.
//
// Input: a flags byte, a repeat byte, a count byte n (n % 16 lengths follow,
// one byte each, used in turn as the sizes of the reads: v below 32 reads v
// bytes, any other (v - 31) * 32, and 0 as much as the buffer takes), then
// the engine's output, repeated 1 + repeat % 16 times (up to 16384 bytes) so
// that lines longer than the buffer come up from small inputs.
//
// Flags: 1 the stream ends (the last read sees no writer); 2 a failed read
// between every two reads; 4 the lines also go through the real
// InterpretLine, with an info block held; 8 the log is open (its content is
// checked unless 4 is set too, as reports write their own entries).
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "chess/position.h"
#include "engine/reader_context.h"
#include "engine/transport.h"
#include "host/adapter_state.h"
#include "host/info_block.h"
#include "protocol/dialect.h"

extern "C" std::int32_t CECP_CALL Func3(std::uint32_t code, std::uint32_t, std::uint32_t, void* infoBlock) {
    if (code < cecp::kNotifyMainline || code > cecp::kNotifyNodes) std::abort();
    if (infoBlock == nullptr || infoBlock != cecp::g_state.infoBlock.load()) std::abort();
    return 0;
}

namespace {

constexpr std::size_t kHeader = 3;
constexpr std::size_t kMaxStream = 4 * cecp::kReadBufferSize;

struct Run {
    std::vector<std::string> handed;  // the lines as InterpretLine sees them
    bool interpret = false;
};
Run* g_run = nullptr;

void RecordLine(const char* line) {
    std::string text(line);
    if (text.find('\n') != std::string::npos) std::abort();
    g_run->handed.push_back(text);
    if (g_run->interpret) cecp::OpenDialect().readLine(line);
}

// The output folded as one piece: every alternating run of carriage returns
// and line feeds, judged by the bytes as received, is one line feed.
std::string Fold(const std::string& raw) {
    std::string kept;
    int previous = -1;
    for (unsigned char byte : raw) {
        if ((byte == '\n' && previous == '\r') || (byte == '\r' && previous == '\n')) {
            if (!kept.empty()) kept.back() = '\n';
        } else {
            kept.push_back(static_cast<char>(byte));
        }
        previous = byte;
    }
    return kept;
}

// The pieces in which one line of the folded output is handed on.
void ExpectLine(const std::string& line, bool complete, std::vector<std::string>* pieces) {
    std::string rest = line;
    bool cut = false;
    while (rest.size() >= static_cast<std::size_t>(cecp::kReadBufferSize)) {
        std::size_t piece = rest[cecp::kReadBufferSize - 1] == '\r' ? cecp::kReadBufferSize - 1
                                                                      : cecp::kReadBufferSize;
        pieces->push_back(rest.substr(0, piece));
        rest.erase(0, piece);
        cut = true;
    }
    if (complete && !(cut && rest.empty())) pieces->push_back(rest);
}

std::string UpToNul(const std::string& text) { return text.substr(0, text.find('\0')); }

std::string Unindented(const std::string& line) {
    std::size_t start = line.find_first_not_of(" \t");
    return start == std::string::npos ? std::string() : line.substr(start);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeader) return 0;
    const std::uint8_t flags = data[0];
    const int repeat = 1 + data[1] % 16;
    const std::size_t lengthCount = data[2] % 16;
    if (size < kHeader + lengthCount) return 0;
    const std::uint8_t* lengths = data + kHeader;
    const std::string once(reinterpret_cast<const char*>(data + kHeader + lengthCount),
                           size - kHeader - lengthCount);
    std::string raw;
    for (int i = 0; i < repeat && raw.size() < kMaxStream; ++i) raw += once;
    if (raw.size() > kMaxStream) raw.resize(kMaxStream);

    const bool ends = (flags & 1) != 0;
    const bool failedReads = (flags & 2) != 0;
    Run run;
    run.interpret = (flags & 4) != 0;
    g_run = &run;

    alignas(8) static unsigned char info[cecp::info_block::kMinimumSize];
    std::memset(info, 0, sizeof info);
    if (run.interpret) {
        cecp::Position start;
        start.SetStartPosition();
        cecp::SetEnginePosition(start);
        cecp::g_state.infoBlock = info;
        cecp::g_state.stopRequested = 0;
        cecp::g_state.reportedDepth = 0;
        cecp::g_state.pvReported = 0;
        cecp::g_state.lastPvLength = 0;
        cecp::g_state.awaitingMove = 1;
    }
    static int logFd = -1;
    const bool logged = (flags & 8) != 0;
    if (logged) {
        if (logFd < 0) {
            char path[] = "/tmp/fuzz_framing_log_XXXXXX";
            logFd = mkstemp(path);
            if (logFd < 0) std::abort();
            unlink(path);
            if (fcntl(logFd, F_SETFL, O_APPEND) != 0) std::abort();
        }
        if (ftruncate(logFd, 0) != 0) std::abort();
        cecp::g_state.logFile = logFd;
    }

    // The reader's record as LaunchEngine leaves it.
    auto context = std::make_unique<cecp::ReaderContext>();
    context->keepReading = 1;
    context->handLine = RecordLine;

    std::size_t at = 0;
    std::size_t read = 0;
    while (at < raw.size()) {
        std::size_t room = static_cast<std::size_t>(cecp::kReadBufferSize - context->writePos);
        if (room == 0) std::abort();  // the reader would ask for nothing, forever
        std::size_t want = lengthCount == 0 ? room : lengths[read++ % lengthCount];
        if (want >= 32) want = (want - 31) * 32;
        if (want == 0 || want > room) want = room;
        if (want > raw.size() - at) want = raw.size() - at;
        std::memcpy(context->readBuffer + context->writePos, raw.data() + at, want);
        at += want;
        cecp::FoldLineEnds(context.get(), static_cast<std::int32_t>(want));
        context->readCount = static_cast<std::int32_t>(want);
        cecp::DispatchLines(context.get());
        if (context->writePos < 0 || context->writePos >= cecp::kReadBufferSize) std::abort();
        if (context->readBuffer[context->writePos] != '\0') std::abort();
        if (std::memchr(context->readBuffer, '\n', static_cast<std::size_t>(context->writePos)) != nullptr) {
            std::abort();  // a line end left behind between two reads
        }
        if (failedReads) {
            context->readCount = -1;
            cecp::DispatchLines(context.get());
        }
    }
    if (ends) {
        context->readCount = 0;
        cecp::DispatchLines(context.get());
        if (context->writePos != 0) std::abort();
    }

    // What should have been handed on.
    const std::string folded = Fold(raw);
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t end; (end = folded.find('\n', start)) != std::string::npos; start = end + 1) {
        ExpectLine(folded.substr(start, end - start), true, &pieces);
    }
    std::string unfinished = folded.substr(start);
    ExpectLine(unfinished, ends && !unfinished.empty(), &pieces);

    if (pieces.size() != run.handed.size()) std::abort();
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (UpToNul(pieces[i]) != run.handed[i]) std::abort();
    }
    if (logged) {
        cecp::g_state.logFile = cecp::platform::kNoFile;
        if (!run.interpret) {
            std::string expected;
            for (const std::string& piece : pieces) expected += Unindented(piece) + '\n';
            std::string log(expected.size() + 1, '\0');
            ssize_t got = pread(logFd, log.data(), log.size(), 0);
            if (got != static_cast<ssize_t>(expected.size())) std::abort();
            log.resize(static_cast<std::size_t>(got));
            if (log != expected) std::abort();
        }
    }
    cecp::g_state.infoBlock = nullptr;
    g_run = nullptr;
    return 0;
}
