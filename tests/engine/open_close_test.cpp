// Opening and closing the scripted test engine through the module, as the
// host does: what crosses the pipes, the engine's start, the log, faulty
// engines, and what the host process is left holding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/info_block.h"
#include "installed_engine.h"
#include "platform/version.h"
#include "search_request_builder.h"

namespace fs = std::filesystem;

namespace cecp::test {
namespace {

// Waits (five seconds at most; a busy machine may be slow) until ready().
template <typename Ready>
void WaitUntil(Ready ready) {
    for (int i = 0; i < 500 && !ready(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// What act() makes the module tell the host's standard error, its console
// (not captured on Windows, where the console is a window).
template <typename Act>
std::string Told(Act act) {
#ifdef _WIN32
    act();
    return "";
#else
    testing::internal::CaptureStderr();
    act();
    return testing::internal::GetCapturedStderr();
#endif
}

class OpenClose : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(e.ready); }
    InstalledEngine e{"engine"};
};

TEST_F(OpenClose, GreetsOpensOnceAndSaysGoodbye) {
    e.InstallExecutable();
    e.Configure("");
    ASSERT_EQ(e.Open(), 0);
    EXPECT_EQ(e.api.Eng5(), 1);
    EXPECT_EQ(e.Open(), 1);  // already open: nothing changes
    EXPECT_EQ(e.api.Eng5(), 1);
    e.api.Eng15();
    auto begin = Clock::now();
    EXPECT_EQ(e.api.Eng2(), 1);
    // The engine follows quit at once; the close does not sit out a pause.
    EXPECT_LT(SecondsSince(begin), 0.9);
    EXPECT_EQ(e.api.Eng2(), 0);
    EXPECT_EQ(e.api.Eng5(), 0);
    e.api.Eng15();  // no engine: nothing is sent
    EXPECT_EQ(e.Transcript(), "kelto\nxboard\nreset\nnew\nquit\n");
}

TEST_F(OpenClose, StartsTheEngineInItsFolderWithItsCommandLine) {
    e.InstallExecutable();
    e.Configure("", "", "--record record.txt \"two words\" MixedCase");
    fs::path hostFolder = fs::current_path();
    ASSERT_EQ(e.Open(), 0);
    EXPECT_EQ(fs::current_path(), hostFolder);
    EXPECT_EQ(e.api.Eng2(), 1);
    // The record: "cwd FOLDER", then "arg N TEXT" for each argument.
    std::istringstream record(ReadFile(e.folder / "record.txt"));
    std::string line;
    ASSERT_TRUE(std::getline(record, line) && line.rfind("cwd ", 0) == 0) << line;
    EXPECT_TRUE(fs::equivalent(line.substr(4), e.folder)) << line;
    std::vector<std::string> arguments;
    while (std::getline(record, line)) {
        if (line.rfind("arg ", 0) == 0) arguments.push_back(line.substr(line.find(' ', 4) + 1));
    }
    ASSERT_EQ(arguments.size(), 9u);
    EXPECT_TRUE(fs::equivalent(arguments[0], e.folder / (e.name + TestEnginePath().extension().string())))
        << arguments[0];
    EXPECT_EQ(std::vector<std::string>(arguments.begin() + 1, arguments.end()),
              (std::vector<std::string>{"--script", "script.txt", "--transcript", "transcript.txt", "--record",
                                        "record.txt", "two words", "MixedCase"}));
}

TEST_F(OpenClose, AMissingEngineFailsClearlyAndCanBeInstalledLater) {
    e.Configure("");
    // The first report may set up what the system keeps for the rest of the
    // process (a desktop for the message box under wine): count after it.
    Told([&] { EXPECT_EQ(e.Open(), 9); });
    ProcessCounts before = CountProcessResources();
    std::string told = Told([&] { EXPECT_EQ(e.Open(), 9); });
#ifndef _WIN32
    EXPECT_EQ(told, "engine.eng: " + std::string(std::strerror(ENOENT)) + "\n");
#endif
    EXPECT_EQ(e.api.Eng5(), 0);
    EXPECT_EQ(e.api.Eng2(), 0);
    ProcessCounts after = SettledCounts(before);
    // At most as many: a thread of the run-time's own (qemu's, a
    // sanitizer's) may end meanwhile.
    EXPECT_LE(after.handles, before.handles);
    EXPECT_LE(after.threads, before.threads);
    EXPECT_LE(after.children, before.children);

    e.InstallExecutable();
    ASSERT_EQ(e.Open(), 0);
    EXPECT_EQ(e.api.Eng2(), 1);
    EXPECT_EQ(e.Transcript(), "kelto\nxboard\nnew\nquit\n");
}

// The log names the module's version first, then has each command marked
// and each line of the engine's without its leading blanks; a line too long for the reader's buffer arrives in pieces
// that together are the line. A fresh log is started at each open.
const std::string kVersionLine = std::string("-- cecp-adapter ") + kVersion + "\n";

TEST_F(OpenClose, LogsCommandsAndOutputAndStartsItAfreshAtEachOpen) {
    e.InstallExecutable();
    // The answer to "new" comes once the close has begun: it is not handed on.
    e.Configure("on xboard\n  send \t  first answer\n  longline 102400 L\n  send after\n"
                "on-line new\n  send \\tsecond\n",
                "Logfile=True\n");
    ASSERT_EQ(e.Open(), 0);
    // The close drops what the reader has not handed on yet: wait for the
    // last line first.
    WaitUntil([&] { return e.Log().find("after\n") != std::string::npos; });
    EXPECT_EQ(e.api.Eng2(), 1);
    const std::string head = kVersionLine + "-> kelto\n-> xboard\nfirst answer\n", tail = "after\n-> new\n-> quit\n";
    std::string log = e.Log();
    ASSERT_GE(log.size(), head.size() + tail.size());
    EXPECT_EQ(log.substr(0, head.size()), head);
    EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
    std::string pieces = log.substr(head.size(), log.size() - head.size() - tail.size());
    pieces.erase(std::remove(pieces.begin(), pieces.end(), '\n'), pieces.end());
    EXPECT_EQ(pieces, "L" + std::string(102399, 'x'));

    e.Configure("", "Logfile=true\n");
    ASSERT_EQ(e.Open(), 0);
    EXPECT_EQ(e.api.Eng2(), 1);
    EXPECT_EQ(e.Log(), kVersionLine + "-> kelto\n-> xboard\n-> new\n-> quit\n");
}

TEST_F(OpenClose, EchoesTheEnginesOutputToTheDebugConsole) {
    e.InstallExecutable();
    e.Configure("on xboard\n  send   shown\r\n", "Debug=true\nEngine=Echo Engine\n");
    // The console is the host's standard error.
    std::string told = Told([&] {
        ASSERT_EQ(e.Open(), 0);
        // The engine answers "xboard"; give the reader time to echo the answer.
        WaitUntil([&] { return e.Transcript().find("xboard\n") != std::string::npos; });
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        EXPECT_EQ(e.api.Eng2(), 1);
    });
#ifndef _WIN32
    EXPECT_EQ(told, "shown\n\r");
#endif
    EXPECT_STREQ(e.api.Eng7(), "Echo Engine");
}

// An engine that has stopped reading lets its input pipe fill up: commands
// are then dropped instead of holding the host's threads, and the engine is
// still closed in bounded time.
TEST_F(OpenClose, AFullInputPipeHoldsNoHostThread) {
    e.InstallExecutable();
    e.Configure("at start\n  hang\n");
    ASSERT_EQ(e.Open(), 0);
    auto begin = Clock::now();
    for (int i = 0; i < 30000; ++i) e.api.Eng15();  // 180 KB of "reset"
    // A command held until the engine reads would hold the host for ever,
    // and a wait for each dropped one (a millisecond at least) for half a
    // minute; 30,000 writes take a few seconds under wine on a busy machine.
    EXPECT_LT(SecondsSince(begin), 15.0);
    begin = Clock::now();
    EXPECT_EQ(e.api.Eng2(), 1);
    EXPECT_LT(SecondsSince(begin), 4.5);
}

// The end of an engine's output marks it ended, so that nothing more is
// written to it and no search waits for it; the next open starts unmarked.
TEST_F(OpenClose, AfterAnEngineThatEndedByItselfTheNextOneSearches) {
    e.InstallExecutable();
    e.Configure("at start\n  exit 0\n");
    ASSERT_EQ(e.Open(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    e.api.Eng2();

    e.Configure("at search\n  move e7e5\n");
    ASSERT_EQ(e.Open(), 0);
    SearchRequestBuilder request;
    request.Increment(600, 0).Moves({"e2e4"});
    e.api.Eng9(request.bytes);
    MoveWord move = 0;
    std::memcpy(&move, e.infoBlock + info_block::kMainLine, sizeof move);
    EXPECT_EQ(move, M("e7e5"));
    EXPECT_EQ(e.api.Eng2(), 1);
    EXPECT_NE(e.Transcript().find("\ne2e4\n"), std::string::npos) << e.Transcript();
}

struct FaultCase {
    const char* name;
    const char* script;
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

class FaultyEngine : public ::testing::TestWithParam<FaultCase> {};

// Never a crash or a hang: the close comes within the grace the shutdown
// gives, and nothing is left behind, by a sound engine either. (An engine
// that ignores quit is closed in every dialect in tests/protocol.)
TEST_P(FaultyEngine, IsClosedPromptlyAndLeavesNothingBehind) {
    InstalledEngine e("faulty");
    ASSERT_TRUE(e.ready);
    e.InstallExecutable();
    e.Configure(GetParam().script, "Logfile=true\n");
    // A thread started and ended first, so that threads the run-time starts
    // with the first one (a sanitizer's) are counted before.
    std::thread([] {}).join();
    ProcessCounts before = CountProcessResources();
    ASSERT_EQ(e.Open(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    e.api.Eng15();
    auto begin = Clock::now();
    EXPECT_EQ(e.api.Eng2(), 1);
    EXPECT_LT(SecondsSince(begin), 3.5);
    ProcessCounts after = SettledCounts(before, kForcedEndsLeaveNoHandles);
    EXPECT_LE(after.children, before.children);
    EXPECT_LE(after.threads, before.threads);
    if (kForcedEndsLeaveNoHandles) {
        EXPECT_LE(after.handles, before.handles);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultyEngine,
    ::testing::Values(FaultCase{"QuitsWhenTold", ""}, FaultCase{"CrashesRightAfterStart", "at start\n  crash\n"},
                      FaultCase{"StopsReading", "at start\n  hang\n"},
                      FaultCase{"FloodsFiftyMegabytes", "at start\n  flood 52428800\n"},
                      FaultCase{"WritesNulBytes", "at start\n  send a\\0b\\0\\0c\n  sendraw \\0\\0\\r\\n\\0\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cecp::test
