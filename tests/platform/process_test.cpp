// Child processes and the pipes to them: the command line split as Windows
// splits it, start failures, a read that learns of the child's end, and a
// write that waits for room in a full pipe.
#include "platform/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "installed_engine.h"
#include "module_loader.h"
#include "platform/error_report.h"
#include "platform/pipe.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace cecp::platform {
namespace {

std::vector<std::string> Split(const char* line) {
    char out[512];
    const int count = SplitCommandLine(line, out, sizeof out);
    std::vector<std::string> words;
    for (const char* p = out; static_cast<int>(words.size()) < count; p += words.back().size() + 1)
        words.emplace_back(p);
    return words;
}

TEST(CommandLineSplit, GivesTheWordsAWindowsProgramSeesWhereTheyFit) {
    struct Case {
        const char* line;
        std::vector<std::string> words;
    };
    const Case cases[] = {
        {"", {}}, {"   \t ", {}}, {"-xboard", {"-xboard"}}, {" a  b\tc ", {"a", "b", "c"}},
        {"\"a b\" c", {"a b", "c"}}, {"x\"y z\"w", {"xy zw"}}, {"\"\"", {""}}, {"\"open ended", {"open ended"}},
        {"C:\\dir\\ e", {"C:\\dir\\", "e"}}, {"a\\\"b", {"a\"b"}}, {"\"a\\\\\" b", {"a\\", "b"}},
        {"MixedCase --Hash=64", {"MixedCase", "--Hash=64"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Split(c.line), c.words) << c.line;
    char out[4];
    EXPECT_EQ(SplitCommandLine("abcd", out, sizeof out), -1);
    EXPECT_EQ(SplitCommandLine("abc", out, sizeof out), 1);
}

// A child started in a scratch folder on two fresh pipes; the ends left open
// are closed at the end.
class Child : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateInputPipe(&input));
        ASSERT_TRUE(CreateOutputPipe(&output));
    }
    void TearDown() override {
        for (Handle h : {input.read, input.write, output.read, output.write})
            if (h != kNoPipe) ClosePipe(h);
    }

    // The scripted test engine with its script, or another executable.
    Handle Start(const std::string& script, std::string executable = test::TestEnginePath().string()) {
        test::WriteFile(scratch.path() / "script.txt", script);
        const std::string folder = scratch.path().string();
        ProcessStart start;
        start.executable = executable.c_str();
        start.arguments = "--script script.txt";
        start.workingDirectory = folder.c_str();
        start.standardInput = input.read;
        start.standardOutput = output.write;
        return StartProcess(start, &error);
    }
    // The child's own ends, which it holds now.
    void CloseChildEnds() {
        ClosePipe(input.read);
        ClosePipe(output.write);
        input.read = output.write = kNoPipe;
    }

    test::ScratchFolder scratch;
    PipeEnds input, output;
    int error = 0;
};

TEST_F(Child, FailsToStartFromAMissingExecutableWithTheSystemsReason) {
    EXPECT_EQ(Start("", (scratch.path() / "missing.exe").string()), kNoProcess);
#ifdef _WIN32
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
#else
    EXPECT_EQ(error, ENOENT);
#endif
    char text[256];
    ErrorText(error, text, sizeof text);
    EXPECT_GT(std::string(text).size(), 3u);
    EXPECT_EQ(std::string(text).find("error "), std::string::npos) << text;
}

// The module keeps a write end of the child's output pipe, so the pipe never
// ends by itself: the read must learn of the child's end from its process,
// and only after the child's last output.
TEST_F(Child, ReadEndsWhenTheProcessEndsAfterItsLastOutput) {
    const Handle ownWrite = DuplicatePipeEnd(output.write);
    ASSERT_NE(ownWrite, kNoPipe);
    const Handle process = Start("at start\n  send last words\n  exit 0\n");
    ASSERT_NE(process, kNoProcess) << error;
    CloseChildEnds();

    std::string received;
    char buffer[256];
    const auto begin = std::chrono::steady_clock::now();
    for (long n; (n = ReadPipe(output.read, buffer, sizeof buffer, process)) != 0;) {
        ASSERT_GT(n, 0);
        received.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
    EXPECT_NE(received.find("last words"), std::string::npos) << received;
    EXPECT_TRUE(WaitProcess(process, 0));
    // Writing to the ended child fails quietly (no SIGPIPE ends this test).
    EXPECT_FALSE(WritePipe(input.write, "quit\n", 5));
    CloseProcess(process);
    ClosePipe(ownWrite);
}

TEST_F(Child, EndProcessEndsAChildThatIgnoresItsInput) {
    const Handle process = Start("ignore quit\nignore eof\n");
    ASSERT_NE(process, kNoProcess) << error;
    CloseChildEnds();
    ClosePipe(input.write);
    input.write = kNoPipe;
    EXPECT_FALSE(WaitProcess(process, 300));
    EndProcess(process);
    EXPECT_TRUE(WaitProcess(process, 5000));
    CloseProcess(process);
}

// An engine that pauses in its reading and reads again within the bound
// gets the command that waited for room, instead of losing it at once.
TEST(InputPipe, AWriteWaitsWithinItsBoundForRoomInAFullPipe) {
    PipeEnds pipe;
    ASSERT_TRUE(CreateInputPipe(&pipe));
    const char block[256] = {};
    std::size_t filled = 0;
    while (filled < (64u << 20) && WritePipeWithin(pipe.write, block, sizeof block, 0) == WriteOutcome::kWritten)
        filled += sizeof block;
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        char buffer[4096];
        for (std::size_t drained = 0; drained < filled;) {
            const long n = ReadPipe(pipe.read, buffer, sizeof buffer);
            if (n <= 0) break;
            drained += static_cast<std::size_t>(n);
        }
    });
    EXPECT_EQ(WritePipeWithin(pipe.write, block, sizeof block, 1000), WriteOutcome::kWritten);
    reader.join();
    ClosePipe(pipe.read);
    ClosePipe(pipe.write);
}

}  // namespace
}  // namespace cecp::platform
