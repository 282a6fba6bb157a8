// The clock and position commands of a search request, as they cross a real
// pipe to the engine.
#include "protocol/cecp/commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/pipe.h"
#include "protocol_fixture.h"
#include "search_request_builder.h"

namespace cecp::test {
namespace {

class Commands : public ReportingTest {
protected:
    void SetUp() override {
        ReportingTest::SetUp();
        ASSERT_TRUE(platform::CreatePipeEnds(&pipe));
        g_engine.stdinWrite = pipe.write;
        g_engine.exited = 0;
        g_settings.ponderMode = 0;
        g_settings.castleAndEP = 0;
    }
    void TearDown() override {
        g_engine.stdinWrite = platform::kNoPipe;
        platform::ClosePipe(pipe.write);
        platform::ClosePipe(pipe.read);
        ReportingTest::TearDown();
    }
    // Every command written since the last call, one per entry, without
    // their line feeds.
    std::vector<std::string> Sent() {
        std::string all;
        platform::WritePipe(pipe.write, "\x01", 1);  // a marker: the pipe holds only what was sent
        char buffer[4096];
        while (all.empty() || all.back() != '\x01') {
            long n = platform::ReadPipe(pipe.read, buffer, sizeof buffer);
            if (n <= 0) break;
            all.append(buffer, static_cast<std::size_t>(n));
        }
        all.pop_back();
        std::vector<std::string> lines;
        std::size_t start = 0;
        for (std::size_t end; (end = all.find('\n', start)) != std::string::npos; start = end + 1) {
            lines.push_back(all.substr(start, end - start));
        }
        EXPECT_EQ(start, all.size()) << "a command without its line feed";
        return lines;
    }
    std::vector<std::string> Clock(const SearchRequestBuilder& request) {
        SendClockCommands(clock, request.View());
        return Sent();
    }
    std::vector<std::string> Transmit(const SearchRequestBuilder& request) {
        SendPosition(request.View(), PlanSearch(request.View()).ponder, heldReply);
        return Sent();
    }

    platform::PipeEnds pipe;
    PonderMove heldReply;
};

using Lines = std::vector<std::string>;

TEST_F(Commands, IncrementClockSendsTheLevelOnlyWhenItChanges) {
    EXPECT_EQ(Clock(SearchRequestBuilder().Increment(300, 12)), (Lines{"new", "level 0 5:0 12", "time 30000"}));
    EXPECT_EQ(clock.lastLevelMoves, 0);
    EXPECT_EQ(clock.lastLevelSeconds, 300);
    EXPECT_EQ(clock.lastLevelIncrement, 12);
    // Base time = used - played * increment + left = 10 - 12 + 302 = 300.
    EXPECT_EQ(Clock(SearchRequestBuilder().Increment(302, 12, 10, 1)), (Lines{"new", "time 30200"}));
    EXPECT_EQ(Clock(SearchRequestBuilder().Increment(301, 12)), (Lines{"new", "time 30100"}));
    EXPECT_EQ(Clock(SearchRequestBuilder().Increment(299, 12)), (Lines{"new", "time 29900"}));
    EXPECT_EQ(Clock(SearchRequestBuilder().Increment(302, 12)), (Lines{"new", "level 0 5:2 12", "time 30200"}));
    EXPECT_EQ(Clock(SearchRequestBuilder().Increment(302, 5)), (Lines{"new", "level 0 5:2 5", "time 30200"}));
}

TEST_F(Commands, ASecondsPartOf59BecomesTheNextMinute) {
    const std::pair<int, const char*> cases[] = {
        {179, "level 0 3:0 0"}, {119, "level 0 2:0 0"}, {61, "level 0 1:1 0"}, {59, "level 0 1:0 0"},
        {125, "level 0 2:5 0"}, {7199, "level 0 120:0 0"}};
    for (auto [seconds, level] : cases) {
        clock.lastLevelSeconds = -100;
        EXPECT_EQ(Clock(SearchRequestBuilder().Increment(seconds, 0))[1], level) << seconds;
    }
}

TEST_F(Commands, MovesInTimeClockCachesMovesSecondsAndIncrement) {
    SearchRequestBuilder twoHours;
    twoHours.MovesInTime(40, 7200);
    EXPECT_EQ(Clock(twoHours), (Lines{"new", "level 40 120:0 0", "time 720000"}));
    EXPECT_EQ(Clock(twoHours), (Lines{"new", "time 720000"}));
    // 30 to go after 10 played: the same control.
    EXPECT_EQ(Clock(SearchRequestBuilder().MovesInTime(30, 6000, 1200, 10)), (Lines{"new", "time 600000"}));
    // The cache holds increment 0, so a request with an increment always resends.
    SearchRequestBuilder withIncrement;
    withIncrement.MovesInTime(40, 7200, 0, 0, 5);
    EXPECT_EQ(Clock(withIncrement).size(), 3u);
    EXPECT_EQ(Clock(withIncrement).size(), 3u);
    // A base-plus-increment request without increment, within a second: unchanged.
    EXPECT_EQ(Clock(SearchRequestBuilder().Increment(7201, 0)), (Lines{"new", "time 720100"}));
}

TEST_F(Commands, NoClockGivesAnUnlimitedLevelOrPreparesAnAnalysis) {
    EXPECT_EQ(Clock(SearchRequestBuilder().Increment(300, 12)).size(), 3u);
    for (int mode : {0, 1, 4, -1}) {
        SearchRequestBuilder request;
        request.Set<std::int16_t>(search_request::kClockMode, static_cast<std::int16_t>(mode));
        EXPECT_EQ(Clock(request), (Lines{"new", "level 10 30000:0 0", "time 180000000"})) << mode;
        EXPECT_TRUE(clock.statusPolling);
    }
    // The cache is left alone: the earlier level still counts.
    EXPECT_EQ(Clock(SearchRequestBuilder().Increment(300, 12)), (Lines{"new", "time 30000"}));
    EXPECT_FALSE(clock.statusPolling);

    g_settings.analyzeMode = 1;
    EXPECT_EQ(Clock(SearchRequestBuilder().NoClock()), (Lines{"new"}));
    EXPECT_TRUE(clock.statusPolling);
}

TEST_F(Commands, HostileClockFieldsWrapInsteadOfOverflowing) {
    SearchRequestBuilder request;
    request.Increment(INT32_MAX, INT32_MAX, INT32_MIN, 32767);
    Lines sent = Clock(request);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2], "time -100");  // 100 * INT32_MAX as 32-bit
}

TEST_F(Commands, APonderRequestHoldsTheExpectedReplyBack) {
    g_settings.ponderMode = 1;
    EXPECT_EQ(Transmit(SearchRequestBuilder().Moves({"e2e4", "e7e5"}).Ponder()), (Lines{"hard", "force", "e2e4"}));
    char move[PonderMove::kTextSize];
    heldReply.Peek(move);
    EXPECT_STREQ(move, "e7e5");
    EXPECT_EQ(g_host.engineSideWhite, 0);
    EXPECT_EQ(EnginePositionCopy().sideToMove, 0);  // after the held-back reply too

    EXPECT_EQ(Transmit(SearchRequestBuilder().Moves({"e2e4"}).Ponder()), (Lines{"hard", "force"}));
    heldReply.Peek(move);
    EXPECT_STREQ(move, "e2e4");
    // Without moves the held-back move stays as it was.
    EXPECT_EQ(Transmit(SearchRequestBuilder().Ponder()), (Lines{"hard", "easy"}));
    EXPECT_FALSE(heldReply.Empty());

    g_settings.ponderMode = 0;
    EXPECT_EQ(Transmit(SearchRequestBuilder().Moves({"e2e4", "e7e5"}).Ponder()),
              (Lines{"hard", "easy", "force", "e2e4", "e7e5"}));
    EXPECT_TRUE(heldReply.Empty());
}

TEST_F(Commands, PromotionsCarryTheirLetter) {
    SearchRequestBuilder request;
    request.Board({{"e1", kWhiteKing}, {"h8", kBlackKing}, {"a7", kWhitePawn}, {"b2", kBlackPawn}}, true)
        .Moves({"a7a8n", "b2b1r", "a8b6"});
    request.Set<MoveWord>(search_request::kMoves + 4, M("a8b6") | 0x8000);  // bit 15 alone: a queen letter
    Lines sent = Transmit(request);
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(Lines(sent.end() - 3, sent.end()), (Lines{"a7a8n", "b2b1r", "a8b6q"}));
    EXPECT_EQ(EnginePositionCopy().squares[MakeSquare(0, 7)], 0);
    EXPECT_EQ(EnginePositionCopy().squares[MakeSquare(1, 0)], kBlackRook);
}

TEST_F(Commands, ASetUpPositionIsEntered) {
    SearchRequestBuilder black;
    black.Board({{"e1", kWhiteKing}, {"a1", kWhiteRook}, {"e8", kBlackKing}, {"d7", kBlackPawn}}, false, 15, 0);
    EXPECT_EQ(Transmit(black), (Lines{"force", "a2a3", "edit", "#", "Ra1", "Ke1", "c", "Pd7", "Ke8", ".", "hard",
                                      "easy"}));
    EXPECT_EQ(g_host.engineSideWhite, 0);
    // Castling rights follow the placement, not the request; no ep square.
    EXPECT_EQ(EnginePositionCopy().castlingRights, kWhiteLong);

    SearchRequestBuilder white;
    white.Board({{"e1", kWhiteKing}, {"e8", kBlackKing}}, true);
    EXPECT_EQ(Transmit(white), (Lines{"edit", "#", "Ke1", "c", "Ke8", "c", ".", "hard", "easy"}));
    EXPECT_EQ(g_host.engineSideWhite, 1);

    // A side byte other than 0 or 1 is White, for the engine's side as for
    // the edit; one move later Black is to move.
    SearchRequestBuilder odd;
    odd.Board({{"e1", kWhiteKing}, {"e8", kBlackKing}}, true).Set<std::uint8_t>(search_request::kWhiteToMove, 12);
    odd.Moves({"e1e2"});
    EXPECT_EQ(Transmit(odd), (Lines{"edit", "#", "Ke1", "c", "Ke8", "c", ".", "hard", "easy", "force", "e1e2"}));
    EXPECT_EQ(g_host.engineSideWhite, 0);
}

TEST_F(Commands, CastleAndEnPassantCommandsOnlyWhenTheEngineTakesThem) {
    g_settings.castleAndEP = 1;
    SearchRequestBuilder request;
    request.Board({{"e1", kWhiteKing}, {"h1", kWhiteRook}, {"e8", kBlackKing}, {"d5", kWhitePawn}, {"e5", kBlackPawn}},
                  true, kWhiteShort | kBlackLong, MakeSquare(4, 5));
    EXPECT_EQ(Transmit(request), (Lines{"edit", "#", "Ke1", "Rh1", "Pd5", "c", "Pe5", "Ke8", "c", "castle +w00",
                                        "castle -w000", "castle -b00", "castle +b000", "ep e6", ".", "hard",
                                        "easy"}));
    EXPECT_EQ(EnginePositionCopy().epSquare, 0);
}

TEST_F(Commands, EnPassantNeedsACapturingPawnOfTheSideToMove) {
    g_settings.castleAndEP = 1;
    struct Case {
        const char* pawn;
        int ep;
        bool white;
        bool sent;
    } cases[] = {{"d5", 44, true, true},  {"f5", 44, true, true},  {"c5", 44, true, false},
                 {"b5", 40, true, true},  {"h5", 40, true, false}, {"g5", 47, true, true},
                 {"a5", 47, true, false}, {"d5", 44, false, false}, {"d4", 20, false, true},
                 {"b4", 16, false, true}, {"h4", 16, false, false}, {"g4", 23, false, true}};
    for (const Case& c : cases) {
        SearchRequestBuilder request;
        std::uint8_t pawn = c.white ? kWhitePawn : kBlackPawn;
        request.Board({{"a1", kWhiteKing}, {"h8", kBlackKing}, {c.pawn, pawn}}, c.white, 0, c.ep);
        Lines sent = Transmit(request);
        bool found = false;
        for (const std::string& line : sent) found = found || line.rfind("ep ", 0) == 0;
        EXPECT_EQ(found, c.sent) << c.pawn << " ep " << c.ep;
    }
}

TEST_F(Commands, MoveCountsOutsideTheRecordAreKeptToIt) {
    SearchRequestBuilder none;
    none.Set<std::int16_t>(search_request::kMoveCount, -1);
    EXPECT_EQ(Transmit(none), (Lines{"hard", "easy"}));
    SearchRequestBuilder all;
    for (int i = 0; i < 512; ++i) {
        all.Set<MoveWord>(search_request::kMoves + 2 * i, M(i % 4 < 2 ? (i % 2 ? "g8f6" : "g1f3") : (i % 2 ? "f6g8" : "f3g1")));
    }
    all.Set<std::int16_t>(search_request::kMoveCount, 32767);
    Lines sent = Transmit(all);
    EXPECT_EQ(sent.size(), 3u + 512u);
    EXPECT_EQ(sent.back(), "f6g8");
}

}  // namespace
}  // namespace cecp::test
