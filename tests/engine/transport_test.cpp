// Framing of the engine's output into lines, its echo to the log, and the
// writing of commands: on the reader's buffer directly and on real pipes.
#include "engine/transport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine_process.h"
#include "module_loader.h"
#include "platform/log_file.h"
#include "platform/pipe.h"
#include "platform/thread.h"

namespace cecp {
namespace {

std::mutex g_linesMutex;
std::vector<std::string> g_lines;

void RecordLine(const char* line) {
    std::lock_guard lock(g_linesMutex);
    g_lines.emplace_back(line);
}

std::vector<std::string> TakeLines() {
    std::lock_guard lock(g_linesMutex);
    std::vector<std::string> lines;
    lines.swap(g_lines);
    return lines;
}

// The framing as the reader runs it, one read per chunk, then the end of the
// stream. A chunk longer than the room left arrives over several reads.
std::vector<std::string> Frame(const std::vector<std::string>& chunks) {
    static ReaderContext context;
    context.writePos = 0;
    context.readCount = 0;
    context.cutPending = 0;
    context.lastReceived = -1;
    context.handLine = RecordLine;
    TakeLines();
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
    return TakeLines();
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
        FramingCase{"LineOverTwoReads", {"move e2", "e4\n"}, {"move e2e4"}},
        FramingCase{"CrThenLfInTheNextRead", {"a\r", "\nb\n"}, {"a", "b"}},
        FramingCase{"CrLfCrLfIsOneLineEnd", {"a\r\n\r\nb\n"}, {"a", "b"}},
        FramingCase{"LfCrIsOneLineEnd", {"a\n\rb\n"}, {"a", "b"}},
        FramingCase{"LfLfGivesAnEmptyLine", {"a\n\nb\n"}, {"a", "", "b"}},
        FramingCase{"LfCrSplitBetweenReadsIsStillOneLineEnd", {"a\n", "\rb\n"}, {"a", "b"}},
        FramingCase{"CrLfCrLfSplitAfterItsThirdByte", {"a\r\n\r", "\nb\n"}, {"a", "b"}},
        FramingCase{"LoneCrStaysInTheLine", {"a\rb\n"}, {"a\rb"}},
        FramingCase{"LeadingBlanksReachTheInterpreter", {" \t 1 10 0 5 e2e4\n"}, {" \t 1 10 0 5 e2e4"}},
        FramingCase{"UnfinishedLastLineAtTheEnd", {"a\nfeature done=1"}, {"a", "feature done=1"}},
        FramingCase{"NothingAtAll", {}, {}},
        FramingCase{"CrCrStaysTwoCarriageReturns", {"a\r\rb\n"}, {"a\r\rb"}},
        FramingCase{"NulBytesStayInTheBufferButEndTheText",
                    {std::string("ab\0cd\nef\n", 9)},
                    {"ab", "ef"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Framing, AnySplitOfTheOutputGivesTheSameLines) {
    const std::string output =
        "feature myname=\"x\"\r\n  1 12 0 30 e2e4\r\n\r\n2 15 1 99 e2e4 e7e5\n\rmove e2e4\r\nstat01: 1 2 3\n\nend";
    const std::vector<std::string> whole = Frame({output});
    ASSERT_EQ(whole.size(), 7u);
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

// The reader on a real pipe, with the log open.
class ReaderOnPipe : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::CreatePipeEnds(&pipe_));
        logPath_ = (scratch_.path() / "log.text").string();
        g_engine.logFile = platform::CreateLogFile(logPath_.c_str());
        ASSERT_NE(g_engine.logFile.load(), platform::kNoFile);
        context_.pipeRead = pipe_.read;
        context_.process = platform::kNoProcess;
        context_.writePos = 0;
        context_.readCount = 0;
        context_.cutPending = 0;
        context_.lastReceived = -1;
        context_.handLine = RecordLine;
        context_.keepReading = 1;
        TakeLines();
        int error = 0;
        thread_ = platform::StartThread(ReaderThread, &context_, platform::kReaderStackSize, &error);
        ASSERT_NE(thread_, platform::kNoThread) << error;
    }
    void TearDown() override {
        if (pipe_.write != platform::kNoPipe) platform::ClosePipe(pipe_.write);
        platform::JoinThread(thread_);
        platform::CloseLogFile(g_engine.logFile.exchange(platform::kNoFile));
        g_engine.exited = 0;
    }
    void Write(const std::string& bytes) { ASSERT_TRUE(platform::WritePipe(pipe_.write, bytes.data(), bytes.size())); }
    // Ends the stream as a vanished engine does, and waits for the reader.
    void EndStream() {
        platform::ClosePipe(pipe_.write);
        pipe_.write = platform::kNoPipe;
        platform::JoinThread(thread_);
        thread_ = platform::kNoThread;
    }
    std::string Log() {
        platform::CloseLogFile(g_engine.logFile.exchange(platform::kNoFile));
        return test::ReadFile(logPath_);
    }

    test::ScratchFolder scratch_;
    platform::PipeEnds pipe_;
    std::string logPath_;
    ReaderContext context_;
    platform::Handle thread_ = platform::kNoThread;
};

TEST_F(ReaderOnPipe, FramesWritesInAnyTimingAndLogsWithoutLeadingBlanks) {
    const std::vector<std::string> writes = {"move e2e4\r", "\n", "  \t1 10 0 5 e2", "e4\r\n\r", "\n\nx\ry\n", "tail"};
    for (const std::string& w : writes) {
        Write(w);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EndStream();
    EXPECT_EQ(TakeLines(), (std::vector<std::string>{"move e2e4", "  \t1 10 0 5 e2e4", "", "x\ry", "tail"}));
    EXPECT_EQ(Log(), "move e2e4\n1 10 0 5 e2e4\n\nx\ry\ntail\n");
    EXPECT_EQ(context_.pipeRead, platform::kNoPipe);
    EXPECT_EQ(g_engine.readerRunning, 0);
    EXPECT_EQ(g_engine.exited, 1);
}

TEST_F(ReaderOnPipe, EndsWithoutHandingOnOnceTheShutdownHasBegun) {
    Write("first\n");
    for (int i = 0; i < 200 && TakeLines().empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    context_.keepReading = 0;
    Write("late\n");
    platform::JoinThread(thread_);
    thread_ = platform::kNoThread;
    EXPECT_TRUE(TakeLines().empty());
    EXPECT_EQ(g_engine.readerRunning, 0);
    EXPECT_EQ(g_engine.exited, 0);
}

TEST_F(ReaderOnPipe, CarriesAFloodWhole) {
    std::string line(79, 'x');
    line += '\n';
    std::string block;
    for (int i = 0; i < 1000; ++i) block += line;
    std::thread writer([&] {
        for (int i = 0; i < 20; ++i) platform::WritePipe(pipe_.write, block.data(), block.size());
    });
    writer.join();
    EndStream();
    std::vector<std::string> lines = TakeLines();
    ASSERT_EQ(lines.size(), 20000u);
    for (const std::string& l : lines) ASSERT_EQ(l, std::string(79, 'x'));
}

class Commands : public ::testing::Test {
protected:
    void SetUp() override {
        logPath_ = (scratch_.path() / "log.text").string();
        g_engine.logFile = platform::CreateLogFile(logPath_.c_str());
        g_engine.exited = 0;
    }
    void TearDown() override {
        platform::CloseLogFile(g_engine.logFile.exchange(platform::kNoFile));
        platform::ClosePipe(g_engine.stdinWrite.exchange(platform::kNoPipe));
        g_engine.exited = 0;
    }
    std::string Log() {
        platform::CloseLogFile(g_engine.logFile.exchange(platform::kNoFile));
        return test::ReadFile(logPath_);
    }
    test::ScratchFolder scratch_;
    std::string logPath_;
};

TEST_F(Commands, GoToTheEngineInOneWriteAndToTheLogMarked) {
    platform::PipeEnds pipe;
    ASSERT_TRUE(platform::CreatePipeEnds(&pipe));
    g_engine.stdinWrite = pipe.write;
    SendCommand("xboard\n");
    SendCommand("level 40 5 0\n");
    char got[64] = {};
    long n = platform::ReadPipe(pipe.read, got, sizeof got - 1);
    platform::ClosePipe(pipe.read);
    EXPECT_EQ(std::string(got, n > 0 ? n : 0), "xboard\nlevel 40 5 0\n");
    EXPECT_EQ(Log(), "-> xboard\n-> level 40 5 0\n");
}

TEST_F(Commands, WriteNothingWithoutAnEngineOrToOneThatHasEnded) {
    SendCommand("new\n");
    platform::PipeEnds pipe;
    ASSERT_TRUE(platform::CreatePipeEnds(&pipe));
    g_engine.stdinWrite = pipe.write;
    g_engine.exited = 1;
    SendCommand("quit\n");
    platform::ClosePipe(g_engine.stdinWrite.exchange(platform::kNoPipe));
    char got[16];
    EXPECT_EQ(platform::ReadPipe(pipe.read, got, sizeof got), 0);
    platform::ClosePipe(pipe.read);
    EXPECT_EQ(Log(), "");
}

}  // namespace
}  // namespace cecp
