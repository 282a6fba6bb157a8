#include "protocol/dialect.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "host/reporting.h"
#include "module/exports.h"
#include "module_loader.h"
#include "protocol_fixture.h"

namespace cecp::test {
namespace {

namespace ib = info_block;

using Interpret = ReportingTest;


TEST_F(Interpret, AMoveBeforeAnyLineIsReportedAsTheMainLine) {
    InterpretLine("\a\amove e2e4");
    EXPECT_FALSE(AwaitingAnswer());
    EXPECT_EQ(MainLine(), (std::vector<MoveWord>{M("e2e4")}));
    EXPECT_EQ(Field<std::int16_t>(ib::kScore), 1);
    EXPECT_EQ(Field<std::int16_t>(ib::kDepth), 1);
    EXPECT_EQ(Codes(), (std::vector<std::uint32_t>{kNotifyDepth, kNotifyMainline}));
}

TEST_F(Interpret, TheMoveEndsTheSearchAndRepeatsOnlyADifferentLine) {
    InterpretLine("9 35 1234 567890 e2e4 e7e5 g1f3");
    EXPECT_EQ(Field<std::int16_t>(ib::kScore), 35);
    EXPECT_EQ(Field<std::int32_t>(ib::kMainLineTime), 12);  // centiseconds, rounded
    EXPECT_EQ(Field<std::int64_t>(ib::kNodes), 567890);
    InterpretLine("move e2e4");
    EXPECT_FALSE(AwaitingAnswer());
    EXPECT_EQ(MainLine().size(), 3u);

    g_search.phase = SearchPhase::kSearching;
    InterpretLine("move d2d4");
    EXPECT_EQ(MainLine(), (std::vector<MoveWord>{M("d2d4")}));
    EXPECT_EQ(Field<std::int16_t>(ib::kScore), 35);
    EXPECT_EQ(Field<std::int32_t>(ib::kMainLineTime), 12);
    EXPECT_FALSE(AwaitingAnswer());
}

TEST_F(Interpret, NumberedMoveLinesNeedTheEllipsis) {
    Position afterE4;
    afterE4.SetStartPosition();
    afterE4.MakeMove(M("e2e4"));
    SetPosition(afterE4);
    InterpretLine("12. Nf6");
    EXPECT_TRUE(AwaitingAnswer());
    InterpretLine("12. ... Nf6");
    EXPECT_FALSE(AwaitingAnswer());
    EXPECT_EQ(MainLine(), (std::vector<MoveWord>{M("g8f6")}));
}

TEST_F(Interpret, TimeIsInCentisecondsOnlyAfterABlank) {
    InterpretLine("9 35 149 567890 e2e4");
    EXPECT_EQ(Field<std::int32_t>(ib::kMainLineTime), 1);
    InterpretLine("10 35 150 567890 d2d4");
    EXPECT_EQ(Field<std::int32_t>(ib::kMainLineTime), 2);
    InterpretLine("11& 35 149 567890 c2c4");
    EXPECT_EQ(Field<std::int32_t>(ib::kMainLineTime), 149);
    InterpretLine("12\t35 250 1 g1f3");
    EXPECT_EQ(Field<std::int32_t>(ib::kMainLineTime), 3);
}

TEST_F(Interpret, ShallowerLinesStillReportTheirMainLine) {
    InterpretLine("9 35 100 500 e2e4");
    HostClearNotifications();
    InterpretLine("5 20 100 600 d2d4");
    EXPECT_EQ(Codes(), (std::vector<std::uint32_t>{kNotifyMainline}));
    EXPECT_EQ(Field<std::int64_t>(ib::kNodes), 500);
    InterpretLine("12 20 100 700 (book move)");
    EXPECT_EQ(Codes(), (std::vector<std::uint32_t>{kNotifyMainline, kNotifyDepth, kNotifyNodes}));
    EXPECT_EQ(MainLine(), (std::vector<MoveWord>{M("d2d4")}));
    // The deeper iteration's book line shows nothing and removes nothing; the
    // same line at that depth is shown again.
    EXPECT_EQ(g_host.lastPvLength, 1);
    InterpretLine("12 20 100 800 d2d4");
    EXPECT_EQ(Codes().back(), kNotifyMainline);
}

TEST_F(Interpret, RejectionsOfAnalyzeTurnAnalysisOff) {
    const std::pair<const char*, bool> cases[] = {
        {"Illegal move: analyze", true}, {"Error (unknown command): analyze", true},
        {"unexpected command analyze", true},
        // Another move, another case, other words: the engine still analyses.
        {"Illegal move: e2e5", false}, {"error (unknown command): analyze", false},
        {"Error: analyze not found", false}, {"Illegal move (No such file): analyze", false},
    };
    for (const auto& [line, refuses] : cases) {
        g_settings.analyzeMode = 1;
        g_search.phase = SearchPhase::kAnalysing;
        InterpretLine(line);
        EXPECT_EQ(g_settings.analyzeMode, refuses ? 0 : 1) << line;
        EXPECT_EQ(CurrentPhase(), refuses ? SearchPhase::kRefused : SearchPhase::kAnalysing) << line;
    }
    EXPECT_TRUE(Codes().empty());
}

TEST_F(Interpret, StatusLinesReportDepthNodesAndTheMoveBeingSearched) {
    InterpretLine("stat01: 1234 567890 7 12 30");
    EXPECT_EQ(Field<std::int16_t>(ib::kDepth), 7);
    EXPECT_EQ(Field<std::int64_t>(ib::kNodes), 567890);
    EXPECT_EQ(Field<std::int16_t>(ib::kCurrentMoveNumber), 18);
    EXPECT_EQ(Field<std::int16_t>(ib::kRootMoveCount), 30);
    EXPECT_EQ(clock.statusRequestsLeft, -1);
    EXPECT_EQ(Codes(), (std::vector<std::uint32_t>{kNotifyDepth, kNotifyNodes, kNotifyCurrentMove}));
}

TEST_F(Interpret, HugeNumbersAreHeldAtTheirLimits) {
    InterpretLine("stat01: 99999999999999 999999999999999999999999 99999999999 5 99999999999");
    EXPECT_EQ(g_host.reportedDepth, INT32_MAX);
    EXPECT_EQ(Field<std::int64_t>(ib::kNodes), INT64_MAX);
    EXPECT_EQ(clock.statusRequestsLeft, -1);
    InterpretLine("-99999999999 -99999999999 99999999999 -99999999999999999999999 e2e4");
    EXPECT_EQ(MainLine(), (std::vector<MoveWord>{M("e2e4")}));
}

TEST_F(Interpret, OnlyMoveEndsTheSearch) {
    InterpretLine("(only move) e2e4");
    EXPECT_FALSE(AwaitingAnswer());
    EXPECT_EQ(MainLine(), (std::vector<MoveWord>{M("e2e4")}));
    EXPECT_EQ(Field<std::int16_t>(ib::kScore), 0);
}

TEST_F(Interpret, OtherLinesChangeNothing) {
    const char* lines[] = {"", "   ", "Hint: e2e4", "12. Nf6", "9 35 1234 e2e4 e7e5",
                           "tellics say Fairy-Max 5.0b", "feature done=1", "# times @ 1294890975",
                           "move", "stat01: 1 2 3", "e2e4 not found"};
    for (const char* line : lines) InterpretLine(line);
    EXPECT_TRUE(AwaitingAnswer());
    EXPECT_TRUE(Codes().empty());
    EXPECT_EQ(clock.statusRequestsLeft, 1);
}

TEST_F(Interpret, OverlongLinesAreCutNotOverrun) {
    std::string longLine = "9 35 100 500 e2e4 " + std::string(100000, 'x') + " e7e5";
    InterpretLine(longLine.c_str());
    EXPECT_EQ(MainLine(), (std::vector<MoveWord>{M("e2e4")}));
    std::string longMove = "move " + std::string(5000, 'e');
    g_host.pvReported = 1;
    InterpretLine(longMove.c_str());
    EXPECT_FALSE(AwaitingAnswer());
    std::string manyMoves = "9 35 100 500";
    for (int i = 0; i < 200; ++i) manyMoves += " g1f3 g8f6 f3g1 f6g8";
    InterpretLine(manyMoves.c_str());
    EXPECT_EQ(Field<std::int16_t>(ib::kMainLineLength), 32);
}

}  // namespace
}  // namespace cecp::test
