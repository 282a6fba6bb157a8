// What the host is shown: the info block's fields, the notifications that
// announce them, and the reports the module holds back or never makes.
#include "host/reporting.h"

#include <gtest/gtest.h>

#include "module/exports.h"
#include "protocol_fixture.h"

namespace cecp::test {
namespace {

namespace ib = info_block;

class MateScore : public ::testing::TestWithParam<std::pair<std::int32_t, std::int16_t>> {};

TEST_P(MateScore, SqueezesTheMateBandsInto16Bits) {
    EXPECT_EQ(MapMateScore(GetParam().first), GetParam().second) << GetParam().first;
}

INSTANTIATE_TEST_SUITE_P(Scores, MateScore,
                         ::testing::Values(std::pair{32000, 32000}, std::pair{32001, 29234},
                                           std::pair{32767, 30000}, std::pair{-32000, -32000},
                                           std::pair{-32001, -29234}, std::pair{-32767, -30000},
                                           std::pair{150, 150}, std::pair{-150, -150},
                                           // Beyond 16 bits the sign is kept, never cut away.
                                           std::pair{32768, 32767},
                                           std::pair{-32768, static_cast<std::int16_t>(-32768)},
                                           std::pair{70000, 32767}, std::pair{-70000, -32768},
                                           // The protocol's mates: 100000 + n.
                                           std::pair{100001, 29999}, std::pair{-100003, -29997},
                                           std::pair{100000, 30000}, std::pair{2000000, 29234},
                                           std::pair{INT32_MIN, -29234}));

using Reports = ReportingTest;

// Depth only ever rises; node counts and current moves are written at once
// but told to the host only once the search is deep enough to be worth it.
TEST_F(Reports, DepthRisesAndNodesAndCurrentMoveWaitUntilDeepEnough) {
    ShowDepth(4, 0);
    ShowDepth(3, 0);
    EXPECT_EQ(Field<std::int16_t>(ib::kDepth), 4);
    ShowNodes(0x123456789LL);
    EXPECT_EQ(Field<std::int64_t>(ib::kNodes), 0x123456789LL);
    EXPECT_EQ(Field<std::uint32_t>(ib::kNodes), 0x23456789u);  // low half first
    ShowDepth(5, 3);
    EXPECT_EQ(Field<std::int16_t>(ib::kDepthExtra), 3);
    ShowNodes(7);
    ShowMove(M("e2e4"), 3, 20);
    EXPECT_EQ(Field<std::int16_t>(ib::kCurrentMoveNumber), 3);
    EXPECT_EQ(Field<std::int16_t>(ib::kRootMoveCount), 20);
    ShowDepth(6, 0);
    ShowMove(M("d2d4"), 4, 20);
    EXPECT_EQ(Codes(), (std::vector<std::uint32_t>{kNotifyDepth, kNotifyDepth, kNotifyNodes, kNotifyDepth,
                                                   kNotifyCurrentMove}));
}

TEST_F(Reports, NotificationsCarryTheHostWordsOfTheMoment) {
    StoreField<std::uint32_t>(info, ib::kNotifyParam1, 11);
    StoreField<std::uint32_t>(info, ib::kNotifyParam2, 22);
    ShowDepth(1, 0);
    StoreField<std::uint32_t>(info, ib::kNotifyParam1, 33);
    ShowDepth(2, 0);
    ASSERT_EQ(HostNotificationCount(), 2);
    EXPECT_EQ(HostNotificationAt(0).param1, 11u);
    EXPECT_EQ(HostNotificationAt(0).param2, 22u);
    EXPECT_EQ(HostNotificationAt(1).param1, 33u);
    EXPECT_EQ(HostNotificationAt(1).infoBlock, static_cast<void*>(info));
}

// A main line is shown once whatever its score or notation. A line the
// module cannot read tells the host nothing and leaves the line shown
// standing (the engine's move is judged against it), but the next line is
// shown even when it repeats that one.
TEST_F(Reports, AMainLineIsShownOnceUnlessAnUnreadableOneCameBetween) {
    ReportMainLine("e2e4 e7e5 g1f3", 35, 12);
    EXPECT_EQ(MainLine(), (std::vector<MoveWord>{M("e2e4"), M("e7e5"), M("g1f3")}));
    EXPECT_EQ(Field<std::int16_t>(ib::kScore), 35);
    EXPECT_EQ(Field<std::int32_t>(ib::kMainLineTime), 12);
    EXPECT_EQ(Field<std::uint32_t>(ib::kInfoKind), 2u);
    ReportMainLine("1. e4 e5 2. Nf3", 90, 99);
    EXPECT_EQ(Field<std::int16_t>(ib::kScore), 35);
    EXPECT_EQ(Codes().size(), 1u);
    ReportMainLine("zz9 Qh8", 1, 1);
    EXPECT_EQ(g_host.lastPvLength, 3);
    EXPECT_EQ(Codes().size(), 1u);
    ReportMainLine("e2e4 e7e5 g1f3", 1, 1);
    EXPECT_EQ(Codes().size(), 2u);
    ReportMainLine("e2e4 e7e5 g1f3", 1, 1);
    EXPECT_EQ(Codes().size(), 2u);
    ReportMainLine("e2e4 e7e5", 90, 99);
    EXPECT_EQ(MainLine().size(), 2u);
    EXPECT_EQ(Codes().size(), 3u);
}

TEST_F(Reports, ScoresFromWhitesSideAreTurnedForBlack) {
    g_settings.evaluationWhite = 1;
    g_host.engineSideWhite = 0;
    ReportMainLine("e2e4", 150, 0);
    EXPECT_EQ(Field<std::int16_t>(ib::kScore), -150);
    ReportMainLine("d2d4", 32767, 0);
    EXPECT_EQ(Field<std::int16_t>(ib::kScore), -30000);
    MoveWord line[] = {M("c2c4")};
    ShowMainline(line, 1, 40);
    EXPECT_EQ(Field<std::int16_t>(ib::kScore), -40);
    g_host.engineSideWhite = 1;
    ReportMainLine("g1f3", 32767, 0);
    EXPECT_EQ(Field<std::int16_t>(ib::kScore), 30000);
}

TEST_F(Reports, LongLinesAreCutTo32AndNeverCountAsRepeats) {
    std::string line;
    const char* shuffle[] = {"g1f3 g8f6 ", "f3g1 f6g8 "};
    for (int i = 0; i < 20; ++i) line += shuffle[i % 2];  // 40 moves
    ReportMainLine(line.c_str(), 0, 0);
    EXPECT_EQ(Field<std::int16_t>(ib::kMainLineLength), 32);
    EXPECT_EQ(g_host.lastPvLength, 32);
    ReportMainLine(line.c_str(), 0, 0);
    EXPECT_EQ(Codes().size(), 2u);
}

TEST_F(Reports, StopSilencesEveryReportButTheNewSearch) {
    ReportMainLine("e2e4", 1, 1);
    g_host.stopRequested = 1;
    ShowDepth(20, 0);
    ShowNodes(5);
    ShowMove(0, 1, 2);
    MoveWord line[] = {M("d2d4")};
    ShowMainline(line, 1, 0);
    ReportMainLine("d2d4", 1, 1);
    EXPECT_EQ(Field<std::int16_t>(ib::kDepth), 0);
    EXPECT_EQ(MainLine(), (std::vector<MoveWord>{M("e2e4")}));
    EXPECT_EQ(g_host.lastPvLength, 1);
    BeginSearchReport();
    EXPECT_EQ(g_host.lastPvLength, 0);
    EXPECT_EQ(Codes(), (std::vector<std::uint32_t>{kNotifyMainline, kNotifyNewSearch}));
}

TEST_F(Reports, TheHostsOwnMainLineIsCutAndNotCached) {
    MoveWord line[50] = {};
    for (int i = 0; i < 50; ++i) line[i] = static_cast<MoveWord>(i + 1);
    ShowMainline(line, 50, 7);
    EXPECT_EQ(Field<std::int16_t>(ib::kMainLineLength), 32);
    EXPECT_EQ(Field<MoveWord>(ib::kMainLine + 2 * 31), 32);
    EXPECT_EQ(Field<std::int16_t>(info_block::kMainLineTime), 0);
    ShowMainline(line, 0, 7);
    EXPECT_EQ(Field<std::int16_t>(ib::kMainLineLength), 0);
    ShowMainline(line, -5, 7);
    EXPECT_EQ(Field<std::int16_t>(ib::kMainLineLength), 0);
    EXPECT_EQ(g_host.lastPvLength, 0);
    EXPECT_EQ(Codes().size(), 3u);
}

TEST_F(Reports, NothingReachesARecordThatIsNotHeld) {
    g_host.infoBlock = nullptr;
    ShowDepth(5, 0);
    EXPECT_EQ(g_host.reportedDepth, 0);
    ReportMainLine("e2e4", 1, 1);
    BeginSearchReport();
    EXPECT_TRUE(Codes().empty());
}

}  // namespace
}  // namespace cecp::test
