// The reader's framing on arbitrary output cut into arbitrary reads,
// FoldLineEnds and DispatchLines called as the reader thread calls them:
// the lines handed on are framing_stream.h's expected lines, and after every
// read the buffer holds no line end. (fuzz_framing_pipe runs the reader
// thread itself on a real pipe.)
//
// Input: as framing_stream.h reads it. Flags: 1 the stream ends; 2 a failed
// read between every two reads; 4 the first 2 lines also go through the
// classic dialect's reader with an info block held, as the reader thread
// hands them (fuzz_interpret explores that reader).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "chess/position.h"
#include "engine/reader_context.h"
#include "engine/transport.h"
#include "framing_stream.h"
#include "host/host_link.h"
#include "host/info_block.h"
#include "protocol/dialect.h"
#include "protocol/search_state.h"

extern "C" std::int32_t CECP_CALL Func3(std::uint32_t code, std::uint32_t, std::uint32_t, void* infoBlock) {
    if (code < cecp::kNotifyMainline || code > cecp::kNotifyNodes) std::abort();
    if (infoBlock == nullptr || infoBlock != cecp::g_host.infoBlock.load()) std::abort();
    return 0;
}

namespace {

constexpr std::size_t kInterpretedLines = 2;

// What the input's lines must be, and how many have been handed on.
struct Run {
    std::vector<std::string_view> expected;
    std::size_t handed = 0;
    bool interpret = false;
};
Run g_run;

void CheckLine(const char* line) {
    const std::string_view text(line);
    if (text.find('\n') != std::string_view::npos) std::abort();
    if (g_run.handed >= g_run.expected.size() || cecp::fuzz::UpToNul(g_run.expected[g_run.handed]) != text) {
        std::abort();
    }
    ++g_run.handed;
    static const cecp::Dialect* const classic = cecp::DialectNamed("1");
    static cecp::DialectState* const state = classic->open();
    if (g_run.interpret && g_run.handed <= kInterpretedLines) classic->readLine(state, line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static cecp::fuzz::FramingStream stream;
    if (!cecp::fuzz::ReadFramingStream(data, size, &stream)) return 0;
    const std::string& raw = stream.output;
    const bool ends = (stream.flags & 1) != 0;
    const bool failedReads = (stream.flags & 2) != 0;
    static std::string folded;
    cecp::fuzz::ExpectedLines(raw, ends, &folded, &g_run.expected);
    g_run.handed = 0;
    g_run.interpret = (stream.flags & 4) != 0;

    alignas(8) static unsigned char info[cecp::info_block::kMinimumSize];
    if (g_run.interpret) {
        std::memset(info, 0, sizeof info);
        cecp::Position start;
        start.SetStartPosition();
        cecp::SetEnginePosition(start);
        cecp::g_host.infoBlock = info;
        cecp::g_host.stopRequested = 0;
        cecp::g_host.reportedDepth = 0;
        cecp::g_host.pvReported = 0;
        cecp::g_host.lastPvLength = 0;
        cecp::g_search.phase = cecp::SearchPhase::kSearching;
    }

    cecp::ReaderContext& context = cecp::fuzz::FreshReader(CheckLine);

    std::size_t at = 0;
    for (std::size_t read = 0; at < raw.size(); ++read) {
        const std::size_t room = static_cast<std::size_t>(cecp::kReadBufferSize - context.writePos);
        if (room == 0) std::abort();  // the reader would ask for nothing, forever
        const std::size_t got = cecp::fuzz::ReadSize(stream, read, room, raw.size() - at);
        std::memcpy(context.readBuffer + context.writePos, raw.data() + at, got);
        at += got;
        cecp::FoldLineEnds(&context, static_cast<std::int32_t>(got));
        context.readCount = static_cast<std::int32_t>(got);
        cecp::DispatchLines(&context);
        if (context.writePos < 0 || context.writePos >= cecp::kReadBufferSize) std::abort();
        if (context.readBuffer[context.writePos] != '\0') std::abort();
        if (std::memchr(context.readBuffer, '\n', static_cast<std::size_t>(context.writePos)) != nullptr) {
            std::abort();  // a line end left behind between two reads
        }
        if (failedReads) {
            context.readCount = -1;
            cecp::DispatchLines(&context);
        }
    }
    if (ends) {
        context.readCount = 0;
        cecp::DispatchLines(&context);
        if (context.writePos != 0) std::abort();
    }
    if (g_run.handed != g_run.expected.size()) std::abort();
    cecp::g_host.infoBlock = nullptr;
    return 0;
}
