// Opening and closing the scripted test engine through the module, as the
// host does: what crosses the pipes, the engine's start, the log, faulty
// engines, and what the host process is left holding.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "installed_engine.h"
#include "protocol/search_request.h"

namespace fs = std::filesystem;

namespace cecp::test {
namespace {

using Clock = std::chrono::steady_clock;

long Milliseconds(Clock::duration d) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}

// The lines of a record or transcript.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Waits (five seconds at most; a busy machine may be slow) until ready().
template <typename Ready>
void WaitUntil(Ready ready) {
    for (int i = 0; i < 500 && !ready(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

TEST(OpenClose, GreetsOpensOnceAndSaysGoodbye) {
    InstalledEngine e("greeter");
    ASSERT_TRUE(e.ready);
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
    EXPECT_LT(Milliseconds(Clock::now() - begin), 900);
    EXPECT_EQ(e.api.Eng2(), 0);
    EXPECT_EQ(e.api.Eng5(), 0);
    e.api.Eng15();  // no engine: nothing is sent
    EXPECT_EQ(e.Transcript(), "kelto\nxboard\nreset\nnew\nquit\n");
}

TEST(OpenClose, StartsTheEngineInItsFolderWithItsCommandLine) {
    InstalledEngine e("recorder");
    ASSERT_TRUE(e.ready);
    e.InstallExecutable();
    e.Configure("", "", "--record record.txt \"two words\" MixedCase");
    fs::path hostFolder = fs::current_path();
    ASSERT_EQ(e.Open(), 0);
    EXPECT_EQ(fs::current_path(), hostFolder);
    EXPECT_EQ(e.api.Eng2(), 1);
    std::vector<std::string> record = Lines(ReadFile(e.folder / "record.txt"));
    ASSERT_FALSE(record.empty());
    ASSERT_EQ(record[0].rfind("cwd ", 0), 0u);
    EXPECT_TRUE(fs::equivalent(record[0].substr(4), e.folder)) << record[0];
    std::vector<std::string> arguments;
    for (const std::string& line : record) {
        if (line.rfind("arg ", 0) == 0) arguments.push_back(line.substr(line.find(' ', 4) + 1));
    }
    ASSERT_EQ(arguments.size(), 9u);
    EXPECT_TRUE(fs::equivalent(arguments[0], e.folder / (e.name + TestEnginePath().extension().string())))
        << arguments[0];
    EXPECT_EQ(std::vector<std::string>(arguments.begin() + 1, arguments.end()),
              (std::vector<std::string>{"--script", "script.txt", "--transcript", "transcript.txt", "--record",
                                        "record.txt", "two words", "MixedCase"}));
    EXPECT_EQ(fs::current_path(), hostFolder);
}

TEST(OpenClose, AMissingEngineFailsClearlyAndCanBeInstalledLater) {
    InstalledEngine e("absent");
    ASSERT_TRUE(e.ready);
    e.Configure("");
    // The first report may set up what the system keeps for the rest of the
    // process (a desktop for the message box under wine): count after it.
#ifndef _WIN32
    testing::internal::CaptureStderr();
#endif
    EXPECT_EQ(e.Open(), 9);
#ifndef _WIN32
    testing::internal::GetCapturedStderr();
#endif
    ProcessCounts before = CountProcessResources();
#ifndef _WIN32
    testing::internal::CaptureStderr();
#endif
    EXPECT_EQ(e.Open(), 9);
#ifndef _WIN32
    std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(told, "absent.eng: " + std::string(std::strerror(ENOENT)) + "\n");
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

TEST(OpenClose, LogsCommandsAndOutputAndStartsItAfreshAtEachOpen) {
    InstalledEngine e("logger");
    ASSERT_TRUE(e.ready);
    e.InstallExecutable();
    // The answer to "new" comes once the close has begun: it is not handed on.
    e.Configure("on xboard\n  send \t  first answer\non-line new\n  send \\tsecond\n", "Logfile=True\n");
    ASSERT_EQ(e.Open(), 0);
    WaitUntil([&] { return e.Log().find("first answer\n") != std::string::npos; });
    EXPECT_EQ(e.api.Eng2(), 1);
    EXPECT_EQ(e.Log(), "-> kelto\n-> xboard\nfirst answer\n-> new\n-> quit\n");

    e.Configure("", "Logfile=true\n");
    ASSERT_EQ(e.Open(), 0);
    EXPECT_EQ(e.api.Eng2(), 1);
    EXPECT_EQ(e.Log(), "-> kelto\n-> xboard\n-> new\n-> quit\n");
}

TEST(OpenClose, EchoesTheEnginesOutputToTheDebugConsole) {
    InstalledEngine e("echoer");
    ASSERT_TRUE(e.ready);
    e.InstallExecutable();
    e.Configure("on xboard\n  send   shown\r\n", "Debug=true\nEngine=Echo Engine\n");
#ifndef _WIN32
    // The console is the host's standard error.
    testing::internal::CaptureStderr();
#endif
    ASSERT_EQ(e.Open(), 0);
    // The engine answers "xboard"; give the reader time to echo the answer.
    WaitUntil([&] { return e.Transcript().find("xboard\n") != std::string::npos; });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(e.api.Eng2(), 1);
#ifndef _WIN32
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "shown\n\r");
#endif
    EXPECT_STREQ(e.api.Eng7(), "Echo Engine");
}

struct FaultCase {
    const char* name;
    const char* script;
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

class FaultyEngine : public ::testing::TestWithParam<FaultCase> {};

// Never a crash or a hang: the close comes within the grace the shutdown
// gives, and no engine is left behind.
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
    EXPECT_LT(Milliseconds(Clock::now() - begin), 3500);
    ProcessCounts after = SettledCounts(before, kForcedEndsLeaveNoHandles);
    EXPECT_LE(after.children, before.children);
    EXPECT_LE(after.threads, before.threads);
    if (kForcedEndsLeaveNoHandles) {
        EXPECT_LE(after.handles, before.handles);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultyEngine,
    ::testing::Values(FaultCase{"CrashesRightAfterStart", "at start\n  crash\n"},
                      FaultCase{"IgnoresQuitAndTheEndOfInput", "ignore quit\nignore eof\n"},
                      FaultCase{"StopsReading", "at start\n  hang\n"},
                      FaultCase{"FloodsFiftyMegabytes", "at start\n  flood 52428800\n"},
                      FaultCase{"WritesAHundredKilobyteLine", "at start\n  longline 102400\n  send after\n"},
                      FaultCase{"WritesNulBytes", "at start\n  send a\\0b\\0\\0c\n  sendraw \\0\\0\\r\\n\\0\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// An engine that has stopped reading lets its input pipe fill up: commands
// are then dropped instead of holding the host's threads, and the engine is
// still closed in bounded time.
TEST(OpenClose, AFullInputPipeHoldsNoHostThread) {
    InstalledEngine e("deaf");
    ASSERT_TRUE(e.ready);
    e.InstallExecutable();
    e.Configure("at start\n  hang\n");
    ASSERT_EQ(e.Open(), 0);
    auto begin = Clock::now();
    for (int i = 0; i < 30000; ++i) e.api.Eng15();  // 180 KB of "reset"
    // A command held until the engine reads would hold the host for ever,
    // and a wait for each dropped one (a millisecond at least) for half a
    // minute; 30,000 writes take a few seconds under wine on a busy machine.
    EXPECT_LT(Milliseconds(Clock::now() - begin), 15000);
    begin = Clock::now();
    EXPECT_EQ(e.api.Eng2(), 1);
    EXPECT_LT(Milliseconds(Clock::now() - begin), 4500);
}

TEST(OpenClose, AHundredKilobyteLineReachesTheLogWhole) {
    InstalledEngine e("longline");
    ASSERT_TRUE(e.ready);
    e.InstallExecutable();
    // Written once the log is open: output from before is not echoed.
    e.Configure("on xboard\n  send before\n  longline 102400 L\n  send after\n", "Logfile=true\n");
    ASSERT_EQ(e.Open(), 0);
    // The close drops what the reader has not handed on yet: wait for the
    // last line first.
    WaitUntil([&] { return e.Log().find("after\n") != std::string::npos; });
    EXPECT_EQ(e.api.Eng2(), 1);
    std::string log = e.Log();
    std::string expected = "before\nL" + std::string(102399, 'x');
    std::string got;
    for (char c : log) {
        if (c != '\n') got += c;
    }
    EXPECT_NE(log.find("before\n"), std::string::npos);
    EXPECT_NE(got.find("beforeL" + std::string(102399, 'x') + "after"), std::string::npos);
}

// A search that waits for the engine's move ends when the engine dies, and
// when the host closes the engine from another thread.
void StartPositionRequest(unsigned char* record) {
    static const unsigned char kBoard[64] = {4, 2, 3, 5, 6, 3, 2, 4, 1, 1, 1, 1, 1, 1, 1, 1};
    for (int i = 0; i < 64; ++i) {
        record[search_request::kBoard + i] = i < 16 ? kBoard[i] : i >= 48 ? (i < 56 ? 9 : kBoard[i - 56] + 8) : 0;
    }
    record[search_request::kStandardStart] = 1;
    record[search_request::kWhiteToMove] = 1;
    record[search_request::kCastling] = 15;
}

struct WaitCase {
    const char* name;
    const char* script;
    bool closeFromHost;
};

void PrintTo(const WaitCase& c, std::ostream* out) { *out << c.name; }

class WaitingSearch : public ::testing::TestWithParam<WaitCase> {};

TEST_P(WaitingSearch, EndsWhenNoMoveCanCome) {
    InstalledEngine e("waiter");
    ASSERT_TRUE(e.ready);
    e.InstallExecutable();
    e.Configure(GetParam().script);
    ASSERT_EQ(e.Open(), 0);
    unsigned char request[search_request::kEnd] = {};
    StartPositionRequest(request);
    auto begin = Clock::now();
    std::thread search([&] { e.api.Eng9(request); });
    if (GetParam().closeFromHost) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(e.api.Eng4(), 1);
        EXPECT_EQ(e.api.Eng2(), 1);
    }
    search.join();
    EXPECT_LT(Milliseconds(Clock::now() - begin), 4000);
    EXPECT_EQ(e.api.Eng4(), 0);
    e.api.Eng2();
}

INSTANTIATE_TEST_SUITE_P(Ends, WaitingSearch,
                         ::testing::Values(WaitCase{"EngineCrashesInTheSearch", "at search\n  crash\n", false},
                                           WaitCase{"HostClosesDuringTheSearch", "ignore ?\nat search\n  sleep 60000\n",
                                                    true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OpenClose, ManyCyclesLeaveNothingBehind) {
    constexpr int kCycles = 50;
    InstalledEngine e("cycler");
    ASSERT_TRUE(e.ready);
    e.InstallExecutable();
    e.Configure("", "Logfile=true\n");
    // One cycle first, so that whatever the system sets up once is counted.
    ASSERT_EQ(e.Open(), 0);
    ASSERT_EQ(e.api.Eng2(), 1);
    ProcessCounts before = CountProcessResources();
    ASSERT_GT(before.handles, 0);
    ASSERT_GT(before.threads, 0);
    for (int i = 0; i < kCycles; ++i) {
        ASSERT_EQ(e.Open(), 0) << i;
        ASSERT_EQ(e.api.Eng2(), 1) << i;
    }
    ProcessCounts after = SettledCounts(before);
    // At most as many: a thread of the run-time's own (qemu's, a
    // sanitizer's) may end meanwhile.
    EXPECT_LE(after.handles, before.handles);
    EXPECT_LE(after.threads, before.threads);
    EXPECT_LE(after.children, before.children);
}

}  // namespace
}  // namespace cecp::test
