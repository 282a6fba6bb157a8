// Hosts that call the exports in the wrong order or from two threads at
// once: nothing crashes, nothing hangs, and every answer is the documented one.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "host_side.h"
#include "installed_engine.h"
#include "search_request_builder.h"

namespace cecp::test {
namespace {

TEST(HostileHost, ExportsWithoutAnOpenEngineAnswerAndSendNothing) {
    InstalledEngine engine("unopened");
    ASSERT_TRUE(engine.ready);
    ModuleApi& api = engine.api;
    HostClearNotifications();
    api.Eng3();
    api.Eng10();
    api.Eng15();
    api.ShowNodes(1LL << 40);
    api.ShowDepth(9, 1);
    api.ShowMove(0x0c1c, 1, 20);
    MoveWord line[2] = {0x0c1c, 0x0934};
    api.ShowMainline(line, 2, 35);
    api.ShowMainline(nullptr, 5, 0);
    EXPECT_EQ(HostNotificationCount(), 0);
    EXPECT_EQ(api.Eng2(), 0);
    EXPECT_EQ(api.Eng5(), 0);

    // A search without an engine ends at once.
    SearchRequestBuilder request;
    request.Increment(60, 0).Moves({"e2e4"});
    auto start = Clock::now();
    api.Eng9(request.bytes);
    api.Eng9(nullptr);
    EXPECT_LT(SecondsSince(start), 1.0);
    EXPECT_EQ(api.Eng4(), 0);
    EXPECT_EQ(api.Eng1(nullptr, 0, 0, 0, 0, 0), 1);
}

TEST(HostileHost, OfTwoOpensAtOnceExactlyOneSucceeds) {
    InstalledEngine engine("racing");
    ASSERT_TRUE(engine.ready);
    engine.InstallExecutable();
    engine.Configure("");
    for (int round = 0; round < 5; ++round) {
        unsigned char secondBlock[256] = {};
        std::atomic<int> go{0};
        std::int32_t first = -1, second = -1;
        std::thread a([&] {
            while (!go) {}
            first = engine.Open();
        });
        std::thread b([&] {
            while (!go) {}
            second = engine.api.Eng1(secondBlock, 0, 0, 0, 0, 0);
        });
        go = 1;
        a.join();
        b.join();
        EXPECT_EQ((first == 0) + (second == 0), 1) << first << " " << second;
        EXPECT_EQ((first == 1) + (second == 1), 1);
        EXPECT_EQ(engine.api.Eng2(), 1);
        EXPECT_EQ(engine.api.Eng2(), 0);
    }
}

// A host thread searches again and again while another stops, confirms,
// resets and asks questions at random moments, and finally closes the engine
// in the middle of a search. Every search ends within its bound.
TEST(HostileHost, SecondThreadCallsDuringSearchesNeverHang) {
    InstalledEngine engine("busy");
    ASSERT_TRUE(engine.ready);
    engine.InstallExecutable();
    engine.Configure(
        "moves e7e5 g8f6 b8c6 d7d6\n"
        "stat stat01: $c 100 $d 3 20\n"
        "analyze 5 $d 5 $d 100 g1f3\n"
        // The expected reply ends a ponder search in force mode.
        "on-line e7e5\n"
        "  search\n"
        "at search\n"
        "  think 5 10 $d 1$d $d0 $d000 e7e5\n"
        "  move e7e5\n",
        "[Support]\nPonderMode=true\nAnalyzeMode=true\n");
    ASSERT_EQ(engine.Open(), 0);

    std::atomic<bool> searching{true};
    std::thread meddler([&] {
        int i = 0;
        while (searching) {
            switch (i++ % 6) {
            case 0: engine.api.Eng3(); break;
            case 1: engine.api.Eng10(); break;
            case 2: engine.api.Eng15(); break;
            case 3: (void)engine.api.Eng4(); break;
            case 4: engine.api.ShowDepth(i, 0); break;
            default: (void)engine.api.Eng7(); break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(7 + i % 13));
        }
    });

    SearchRequestBuilder timed, ponder, analysis;
    timed.Increment(60, 0).Moves({"e2e4"});
    ponder.Increment(60, 0).Moves({"e2e4", "e7e5"}).Ponder();
    analysis.NoClock().Moves({"d2d4"});
    SearchRequestBuilder* requests[] = {&timed, &ponder, &analysis};
    double longest = 0;
    for (int i = 0; i < 30; ++i) {
        auto start = Clock::now();
        engine.api.Eng9(requests[i % 3]->bytes);
        longest = std::max(longest, SecondsSince(start));
    }
    // The last search is closed under the host's feet.
    std::thread last([&] { engine.api.Eng9(timed.bytes); });
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(engine.api.Eng2(), 1);
    last.join();
    searching = false;
    meddler.join();
    // A search that the engine never answers after "?" is given up on after
    // about five seconds: nothing may take longer.
    EXPECT_LT(longest, 6.5);
    EXPECT_EQ(engine.api.Eng4(), 0);
    EXPECT_EQ(engine.api.Eng5(), 0);
}

}  // namespace
}  // namespace cecp::test
