// Framing of the engine's output into lines, on the reader's buffer as the
// reader thread fills it, and the commands not written to an ended engine.
#include "engine/transport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine_process.h"
#include "module_loader.h"
#include "platform/log_file.h"
#include "platform/pipe.h"

namespace cecp {
namespace {

std::vector<std::string> g_lines;

void RecordLine(const char* line) { g_lines.emplace_back(line); }

// The framing as the reader runs it, one read per chunk, then the end of the
// stream. A chunk longer than the room left arrives over several reads.
std::vector<std::string> Frame(const std::vector<std::string>& chunks) {
    static ReaderContext context;
    context.writePos = 0;
    context.readCount = 0;
    context.cutPending = 0;
    context.lastReceived = -1;
    context.handLine = RecordLine;
    g_lines.clear();
    for (const std::string& chunk : chunks) {
        std::size_t done = 0;
        while (done < chunk.size()) {
            std::size_t room = static_cast<std::size_t>(kReadBufferSize - context.writePos);
            std::size_t n = std::min(room, chunk.size() - done);
            std::memcpy(context.readBuffer + context.writePos, chunk.data() + done, n);
            FoldLineEnds(&context, static_cast<std::int32_t>(n));
            context.readCount = static_cast<std::int32_t>(n);
            DispatchLines(&context);
            done += n;
        }
    }
    context.readCount = 0;
    DispatchLines(&context);
    return std::move(g_lines);
}

struct FramingCase {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<std::string> lines;
};

void PrintTo(const FramingCase& c, std::ostream* out) { *out << c.name; }

class Framing : public ::testing::TestWithParam<FramingCase> {};

TEST_P(Framing, HandsOnTheLinesOfTheOutput) { EXPECT_EQ(Frame(GetParam().chunks), GetParam().lines); }

INSTANTIATE_TEST_SUITE_P(
    LineEnds, Framing,
    ::testing::Values(
        FramingCase{"CrLfInOneRead", {"move e2e4\r\n"}, {"move e2e4"}},
        FramingCase{"CrLfCrLfIsOneLineEnd", {"a\r\n\r\nb\n"}, {"a", "b"}},
        FramingCase{"LfCrIsOneLineEnd", {"a\n\rb\n"}, {"a", "b"}},
        FramingCase{"LfLfGivesAnEmptyLine", {"a\n\nb\n"}, {"a", "", "b"}},
        FramingCase{"LoneCrStaysInTheLine", {"a\rb\n"}, {"a\rb"}},
        FramingCase{"LeadingBlanksReachTheInterpreter", {" \t 1 10 0 5 e2e4\n"}, {" \t 1 10 0 5 e2e4"}},
        FramingCase{"UnfinishedLastLineAtTheEnd", {"a\nfeature done=1"}, {"a", "feature done=1"}},
        FramingCase{"NothingAtAll", {}, {}},
        FramingCase{"CrCrStaysTwoCarriageReturns", {"a\r\rb\n"}, {"a\r\rb"}},
        FramingCase{"NulBytesStayInTheBufferButEndTheText",
                    {std::string("ab\0cd\nef\n", 9)},
                    {"ab", "ef"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Every line end split between two reads and every line over two or three.
TEST(Framing, AnySplitOfTheOutputGivesTheSameLines) {
    const std::string output =
        "feature myname=\"x\"\r\n  1 12 0 30 e2e4\r\n\r\n2 15 1 99 e2e4 e7e5\n\rmove e2e4\r\nstat01: 1 2 3\n\nend";
    const std::vector<std::string> whole = {"feature myname=\"x\"", "  1 12 0 30 e2e4", "2 15 1 99 e2e4 e7e5",
                                            "move e2e4", "stat01: 1 2 3", "", "end"};
    for (std::size_t i = 0; i <= output.size(); ++i) {
        EXPECT_EQ(Frame({output.substr(0, i), output.substr(i)}), whole) << "split at " << i;
        for (std::size_t j = i; j <= output.size(); j += 7) {
            ASSERT_EQ(Frame({output.substr(0, i), output.substr(i, j - i), output.substr(j)}), whole)
                << "split at " << i << " and " << j;
        }
    }
}

struct LongLineCase {
    const char* name;
    std::size_t length;
    const char* lineEnd;
};

void PrintTo(const LongLineCase& c, std::ostream* out) { *out << c.name; }

class LongLine : public ::testing::TestWithParam<LongLineCase> {};

// A line too long for the buffer goes on in pieces that together are the
// line; nothing around it is lost and no empty line is made up.
TEST_P(LongLine, IsHandedOnInPiecesOfAtMostTheBuffer) {
    const LongLineCase& c = GetParam();
    std::string line;
    for (std::size_t i = 0; i < c.length; ++i) line += static_cast<char>('a' + i % 26);
    std::string output = "before\n" + line + c.lineEnd + "after\n";
    for (std::size_t chunk : {std::size_t{1} << 20, std::size_t{4096}, std::size_t{1000}, std::size_t{7}}) {
        std::vector<std::string> chunks;
        for (std::size_t i = 0; i < output.size(); i += chunk) chunks.push_back(output.substr(i, chunk));
        std::vector<std::string> lines = Frame(chunks);
        ASSERT_GE(lines.size(), 3u) << chunk;
        EXPECT_EQ(lines.front(), "before");
        EXPECT_EQ(lines.back(), "after");
        std::string joined;
        for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
            EXPECT_LE(lines[i].size(), static_cast<std::size_t>(kReadBufferSize));
            EXPECT_FALSE(lines[i].empty()) << "piece " << i << " with reads of " << chunk;
            joined += lines[i];
        }
        EXPECT_EQ(joined, line) << "reads of " << chunk;
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, LongLine,
                         ::testing::Values(LongLineCase{"OneByteTooLong", 4096, "\n"},
                                           LongLineCase{"FillsTheBufferWithItsCr", 4095, "\r\n"},
                                           LongLineCase{"FillsTheBufferBeforeCrLf", 4096, "\r\n"},
                                           LongLineCase{"AHundredKilobytes", 100 * 1024, "\n"},
                                           LongLineCase{"ExactlyTwoBuffers", 8192, "\r\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

// An engine whose output has ended may still be alive and not reading: a
// command to it would wait for room in its input. (tests/engine/open_close
// checks the commands that do go out, and their log.)
TEST(Commands, WriteNothingWithoutAnEngineOrToOneThatHasEnded) {
    test::ScratchFolder scratch;
    const std::string logPath = (scratch.path() / "log.text").string();
    g_engine.logFile = platform::CreateLogFile(logPath.c_str());
    SendCommand("new\n");
    platform::PipeEnds pipe;
    ASSERT_TRUE(platform::CreatePipeEnds(&pipe));
    g_engine.stdinWrite = pipe.write;
    g_engine.exited = 1;
    SendCommand("quit\n");
    platform::ClosePipe(g_engine.stdinWrite.exchange(platform::kNoPipe));
    g_engine.exited = 0;
    char got[16];
    EXPECT_EQ(platform::ReadPipe(pipe.read, got, sizeof got), 0);
    platform::ClosePipe(pipe.read);
    platform::CloseLogFile(g_engine.logFile.exchange(platform::kNoFile));
    EXPECT_EQ(test::ReadFile(logPath), "");
}

}  // namespace
}  // namespace cecp
