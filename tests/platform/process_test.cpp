// Child processes and the pipes to them: the command line split as Windows
// splits it, start failures, and a read that learns of the child's end.
#include "platform/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
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
    int count = SplitCommandLine(line, out, sizeof out);
    std::vector<std::string> words;
    const char* p = out;
    for (int i = 0; i < count; ++i) {
        words.emplace_back(p);
        p += words.back().size() + 1;
    }
    return words;
}

struct SplitCase {
    const char* line;
    std::vector<std::string> words;
};

void PrintTo(const SplitCase& c, std::ostream* out) { *out << c.line; }

class CommandLineSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(CommandLineSplit, GivesTheWordsAWindowsProgramSees) { EXPECT_EQ(Split(GetParam().line), GetParam().words); }

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineSplit,
    ::testing::Values(SplitCase{"", {}}, SplitCase{"   \t ", {}}, SplitCase{"-xboard", {"-xboard"}},
                      SplitCase{" a  b\tc ", {"a", "b", "c"}}, SplitCase{"\"a b\" c", {"a b", "c"}},
                      SplitCase{"x\"y z\"w", {"xy zw"}}, SplitCase{"\"\"", {""}},
                      SplitCase{"\"open ended", {"open ended"}}, SplitCase{"C:\\dir\\ e", {"C:\\dir\\", "e"}},
                      SplitCase{"a\\\"b", {"a\"b"}}, SplitCase{"\"a\\\\\" b", {"a\\", "b"}},
                      SplitCase{"MixedCase --Hash=64", {"MixedCase", "--Hash=64"}}));

TEST(CommandLineSplit, RefusesAnOutputTooSmall) {
    char out[4];
    EXPECT_EQ(SplitCommandLine("abcd", out, sizeof out), -1);
    EXPECT_EQ(SplitCommandLine("abc", out, sizeof out), 1);
}

TEST(StartProcess, FailsForAMissingExecutableWithTheSystemsReason) {
    test::ScratchFolder scratch;
    PipeEnds input, output;
    ASSERT_TRUE(CreateInputPipe(&input));
    ASSERT_TRUE(CreateOutputPipe(&output));
    std::string missing = (scratch.path() / "missing.exe").string();
    std::string folder = scratch.path().string();
    ProcessStart start;
    start.executable = missing.c_str();
    start.workingDirectory = folder.c_str();
    start.standardInput = input.read;
    start.standardOutput = output.write;
    int error = 0;
    EXPECT_EQ(StartProcess(start, &error), kNoProcess);
#ifdef _WIN32
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
#else
    EXPECT_EQ(error, ENOENT);
#endif
    char text[256];
    ErrorText(error, text, sizeof text);
    EXPECT_GT(std::string(text).size(), 3u);
    EXPECT_EQ(std::string(text).find("error "), std::string::npos) << text;
    for (Handle h : {input.read, input.write, output.read, output.write}) ClosePipe(h);
}

// Starts the scripted test engine in the scratch folder, with its script
// there, on the two pipes.
Handle StartTestEngine(const test::ScratchFolder& scratch, const PipeEnds& input, const PipeEnds& output,
                       int* error) {
    std::string engine = test::TestEnginePath().string();
    std::string folder = scratch.path().string();
    ProcessStart start;
    start.executable = engine.c_str();
    start.arguments = "--script script.txt";
    start.workingDirectory = folder.c_str();
    start.standardInput = input.read;
    start.standardOutput = output.write;
    return StartProcess(start, error);
}

// The module keeps a write end of the child's output pipe, so the pipe never
// ends by itself: the read must learn of the child's end from its process,
// and only after the child's last output.
TEST(ReadPipe, EndsWhenTheProcessEndsAfterItsLastOutput) {
    test::ScratchFolder scratch;
    test::WriteFile(scratch.path() / "script.txt", "at start\n  send last words\n  exit 0\n");
    PipeEnds input, output;
    ASSERT_TRUE(CreateInputPipe(&input));
    ASSERT_TRUE(CreateOutputPipe(&output));
    Handle ownWrite = DuplicatePipeEnd(output.write);
    ASSERT_NE(ownWrite, kNoPipe);
    int error = 0;
    Handle process = StartTestEngine(scratch, input, output, &error);
    ASSERT_NE(process, kNoProcess) << error;
    ClosePipe(input.read);
    ClosePipe(output.write);

    std::string received;
    char buffer[256];
    auto begin = std::chrono::steady_clock::now();
    for (;;) {
        long n = ReadPipe(output.read, buffer, sizeof buffer, process);
        ASSERT_GE(n, 0);
        if (n == 0) break;
        received.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
    EXPECT_NE(received.find("last words"), std::string::npos) << received;
    EXPECT_TRUE(WaitProcess(process, 0));
    // Writing to the ended child fails quietly (no SIGPIPE ends this test).
    EXPECT_FALSE(WritePipe(input.write, "quit\n", 5));
    CloseProcess(process);
    for (Handle h : {input.write, output.read, ownWrite}) ClosePipe(h);
}

TEST(EndProcess, EndsAChildThatIgnoresItsInput) {
    test::ScratchFolder scratch;
    test::WriteFile(scratch.path() / "script.txt", "ignore quit\nignore eof\n");
    PipeEnds input, output;
    ASSERT_TRUE(CreateInputPipe(&input));
    ASSERT_TRUE(CreateOutputPipe(&output));
    int error = 0;
    Handle process = StartTestEngine(scratch, input, output, &error);
    ASSERT_NE(process, kNoProcess) << error;
    for (Handle h : {input.read, output.write, input.write}) ClosePipe(h);
    EXPECT_FALSE(WaitProcess(process, 300));
    EndProcess(process);
    EXPECT_TRUE(WaitProcess(process, 5000));
    CloseProcess(process);
    ClosePipe(output.read);
}

}  // namespace
}  // namespace cecp::platform
