// For the framing targets: the engine's output and the sizes of its reads as
// an input gives them, and the lines the reader must hand on for it.
//
// Input: a flags byte, a repeat byte, a count byte n (n % 16 lengths follow,
// one byte each, used in turn as the sizes of the first 64 reads: v below 32
// reads v bytes, any other (v - 31) * 32, and 0 as much as the buffer takes;
// later reads take what the buffer has room for, as endless small reads of a
// long line would only repeat its scan), then the engine's output. So that
// lines as long as the buffer and longer come up from small inputs, a repeat
// byte r below 16 repeats the output r + 1 times (up to 16384 bytes), and one
// of 16 to 31 puts (r - 15) * 256 dots before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/reader_context.h"

namespace cecp::fuzz {

struct FramingStream {
    std::uint8_t flags = 0;
    const std::uint8_t* lengths = nullptr;
    std::size_t lengthCount = 0;
    std::string output;  // the engine's output, repeated
};

// False when the input is too short for its header.
inline bool ReadFramingStream(const std::uint8_t* data, std::size_t size, FramingStream* stream) {
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
inline std::size_t ReadSize(const FramingStream& stream, std::size_t index, std::size_t room, std::size_t left) {
    std::size_t want = stream.lengthCount == 0 || index >= 64 ? room : stream.lengths[index % stream.lengthCount];
    if (want >= 32) want = (want - 31) * 32;
    if (want == 0 || want > room) want = room;
    return want < left ? want : left;
}

// The lines the reader hands on for the output, in order (each ends for the
// module at its first NUL, see UpToNul): the output folded as one piece
// (every alternating run of carriage returns and line feeds, judged by the
// bytes as received, is one line feed) cut at its line feeds; a line longer
// than the buffer in pieces of a full buffer (one byte less when a carriage
// return, maybe half of a line end, would end the piece), with no empty line
// after a piece that ended it exactly; the unfinished last line only when
// the stream ends. The views point into folded.
inline void ExpectedLines(const std::string& output, bool ends, std::string* folded,
                          std::vector<std::string_view>* lines) {
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

inline std::string_view UpToNul(std::string_view line) { return line.substr(0, line.find('\0')); }

// The reader's record as the engine's launch leaves it (kept for the run:
// its buffer is as large as the reader's), reading from pipe.
inline ReaderContext& FreshReader(LineHandler handLine, platform::Handle pipe = platform::kNoPipe) {
    static ReaderContext context;
    context.pipeRead = pipe;
    context.process = platform::kNoProcess;
    context.keepReading = 1;
    context.writePos = 0;
    context.readCount = 0;
    context.cutPending = 0;
    context.lastReceived = -1;
    context.readBuffer[0] = '\0';
    context.handLine = handLine;
    return context;
}

}  // namespace cecp::fuzz
