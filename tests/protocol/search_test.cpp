// Whole search requests through the real module, the real engine process and
// the real pipes, with the scripted test engine: what crosses the pipe, what
// the host is told, and how long each kind of search takes to end.
#include "search_fixture.h"

namespace cecp::test {
namespace {

constexpr const char* kThinkThenMove =
    "at search\n"
    "  think 3 20 $d 1$d $d0 $d000 e7e5 g1f3\n"
    "  move e7e5\n";

TEST_F(Search, ATimedSearchSendsClockPositionAndGo) {
    ASSERT_NO_FATAL_FAILURE(Open(kThinkThenMove));
    SearchRequestBuilder request;
    request.Increment(300, 12).Moves({"e2e4"});
    api.Eng9(request.bytes);
    EXPECT_EQ(NewCommands(), (Lines{"new", "level 0 5:0 12", "time 30000", "hard", "easy", "force", "e2e4", "post",
                                    "black", "go"}));
    EXPECT_EQ(api.Eng4(), 0);
    EXPECT_EQ(FirstMove(), M("e7e5"));
    std::vector<std::uint32_t> codes = Codes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.front(), kNotifyNewSearch);
    EXPECT_EQ(codes.back(), kNotifyMainline);
    EXPECT_EQ(Field<std::int16_t>(ib::kDepth), 3);
    EXPECT_EQ(Field<std::int16_t>(ib::kScore), 13);
    // A second request with the same control sends no level.
    request.Increment(290, 12, 22, 1);
    api.Eng9(request.bytes);
    EXPECT_EQ(NewCommands(), (Lines{"new", "time 29000", "hard", "easy", "force", "e2e4", "post", "black", "go"}));
}

// The host's own reports through the exports: a 64-bit count in two argument
// slots, 16-bit words in slots of their own (the 32-bit build runs this too).
TEST_F(Search, TheHostsOwnReportsArriveWhole) {
    ASSERT_NO_FATAL_FAILURE(Open(kThinkThenMove));
    SearchRequestBuilder request;
    request.Increment(300, 12).Moves({"e2e4"});
    api.Eng9(request.bytes);
    HostClearNotifications();
    api.ShowNodes(0x0000012345678901LL);
    EXPECT_EQ(Field<std::int64_t>(ib::kNodes), 0x0000012345678901LL);
    api.ShowDepth(70000, -2);
    EXPECT_EQ(Field<std::int16_t>(ib::kDepth), 4464);
    EXPECT_EQ(Field<std::int16_t>(ib::kDepthExtra), -2);
    api.ShowMove(M("g1f3"), 3, 20);
    EXPECT_EQ(Field<MoveWord>(ib::kCurrentMove), M("g1f3"));
    EXPECT_EQ(Field<std::int16_t>(ib::kCurrentMoveNumber), 3);
    EXPECT_EQ(Field<std::int16_t>(ib::kRootMoveCount), 20);
    MoveWord line[] = {M("g1f3"), M("b8c6")};
    api.ShowMainline(line, 2, -321);
    EXPECT_EQ(Field<std::int16_t>(ib::kScore), -321);
    EXPECT_EQ(Field<MoveWord>(ib::kMainLine + 2), M("b8c6"));
    // The count came at depth 3: written, but held back.
    EXPECT_EQ(Codes(), (std::vector<std::uint32_t>{kNotifyDepth, kNotifyCurrentMove, kNotifyMainline}));
}

TEST_F(Search, ASetUpPositionIsEditedInBeforeTheSearch) {
    ASSERT_NO_FATAL_FAILURE(Open("at search\n  move e1d2\n", "CastleAndEP=true\n"));
    SearchRequestBuilder request;
    request.MovesInTime(40, 600).Board({{"e1", kWhiteKing}, {"e8", kBlackKing}, {"a7", kBlackPawn}}, true, 0, 0);
    api.Eng9(request.bytes);
    EXPECT_EQ(NewCommands(), (Lines{"new", "level 40 10:0 0", "time 60000", "edit", "#", "Ke1", "c", "Pa7", "Ke8", "c",
                                    "castle -w00", "castle -w000", "castle -b00", "castle -b000", ".", "hard", "easy",
                                    "post", "white", "go"}));
    EXPECT_EQ(FirstMove(), M("e1d2"));
}

TEST_F(Search, AMatedSideGetsNoSearchCommand) {
    ASSERT_NO_FATAL_FAILURE(Open(kThinkThenMove));
    SearchRequestBuilder request;
    request.Increment(60, 0).Moves({"f2f3", "e7e5", "g2g4", "d8h4"});
    auto start = Clock::now();
    api.Eng9(request.bytes);
    EXPECT_LT(SecondsSince(start), 1.0);
    Lines sent = NewCommands();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), "white");
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "go"), 0);
}

TEST_F(Search, PonderingEndsWithTheExpectedReply) {
    ASSERT_NO_FATAL_FAILURE(Open("on-line e7e5\n  move g1f3\n", "PonderMode=true\n"));
    SearchRequestBuilder request;
    request.Increment(60, 0).Moves({"e2e4", "e7e5"}).Ponder();
    std::thread search = SearchInBackground(request);
    EXPECT_EQ(NewCommands(9), (Lines{"new", "level 0 1:0 0", "time 6000", "hard", "force", "e2e4", "post", "black",
                                      "ponder e7e5"}));
    EXPECT_EQ(api.Eng4(), 1);
    api.Eng10();
    api.Eng10();  // the move has been sent already
    search.join();
    EXPECT_EQ(NewCommands(), (Lines{"e7e5", "easy"}));
    EXPECT_EQ(FirstMove(), M("g1f3"));
}

// The host confirms the pondered reply, or resets the engine, from its other
// thread whenever it likes, also while the position is still being sent:
// those commands wait for the search to start instead of falling among the
// moves, where the engine would play them as part of the game.
TEST_F(Search, CommandsFromTheHostsOtherThreadNeverFallIntoThePosition) {
    ASSERT_NO_FATAL_FAILURE(Open("on-line e7e5\n  move g1f3\n", "PonderMode=true\n"));
    std::vector<const char*> game;
    for (int i = 0; i < 60; ++i) game.insert(game.end(), {"g1f3", "g8f6", "f3g1", "f6g8"});
    game.insert(game.end(), {"e2e4", "e7e5"});
    SearchRequestBuilder request;
    request.Increment(60, 0).Moves(game).Ponder();
    SearchWhile(request, [this] {
        api.Eng15();
        api.Eng10();
    });

    Lines sent = NewCommands();
    auto ponder = std::find(sent.begin(), sent.end(), "ponder e7e5");
    ASSERT_NE(ponder, sent.end());
    Lines setUp(std::find(sent.begin(), sent.end(), "force"), ponder);
    ASSERT_EQ(setUp.size(), 1 + game.size() - 1 + 2);  // force, the moves but the reply, post, black
    for (std::size_t i = 0; i + 1 < game.size(); ++i) EXPECT_EQ(setUp[1 + i], game[i]) << "move " << i;
    EXPECT_EQ(std::count(std::find(sent.begin(), sent.end(), "new"), ponder, "reset"), 0);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "e7e5"), 1);
    EXPECT_EQ(std::count(ponder, sent.end(), "e7e5"), 1);
    EXPECT_EQ(FirstMove(), M("g1f3"));
}

// A host that confirms the reply from its handler of the new-search
// notification does so on Eng9's own thread, before anything has been sent:
// the module neither waits for itself nor loses the hit.
ModuleApi* g_hitFromHandler = nullptr;
void PonderHitOnNewSearch(std::uint32_t code, void*) {
    if (code == kNotifyNewSearch && g_hitFromHandler != nullptr) g_hitFromHandler->Eng10();
}

TEST_F(Search, APonderHitBeforeTheSearchHasStartedIsKeptForIt) {
    ASSERT_NO_FATAL_FAILURE(Open("on-line e7e5\n  move g1f3\n", "PonderMode=true\n"));
    SearchRequestBuilder request;
    request.Increment(60, 0).Moves({"e2e4", "e7e5"}).Ponder();
    g_hitFromHandler = &api;
    HostSetNotificationHook(PonderHitOnNewSearch);
    const auto start = Clock::now();
    SearchWhile(request, [] { std::this_thread::sleep_for(std::chrono::milliseconds(5)); });
    HostSetNotificationHook(nullptr);
    g_hitFromHandler = nullptr;
    EXPECT_LT(SecondsSince(start), 2.0);
    EXPECT_EQ(NewCommands(), (Lines{"new", "level 0 1:0 0", "time 6000", "hard", "force", "e2e4", "post", "black",
                                    "ponder e7e5", "e7e5", "easy"}));
    EXPECT_EQ(FirstMove(), M("g1f3"));
}

TEST_F(Search, StoppingAPonderSearchPlaysTheReplyAndAsksForTheMove) {
    ASSERT_NO_FATAL_FAILURE(Open("on-line e7e5\n  think 100 50 $d 5 $d 100 g1f3\n  move g1f3\n", "PonderMode=true\n"));
    SearchRequestBuilder request;
    request.Increment(60, 0).Moves({"e2e4", "e7e5"}).Ponder();
    std::thread search = SearchInBackground(request);
    NewCommands(9);
    auto start = Clock::now();
    api.Eng3();
    search.join();
    EXPECT_LT(SecondsSince(start), 2.0);
    EXPECT_EQ(NewCommands(), (Lines{"e7e5", "easy", "?"}));
}

TEST_F(Search, MoveNowCutsANormalSearchShortAndShowsTheMovePlayed) {
    ASSERT_NO_FATAL_FAILURE(Open("at search\n  think 200 50 $d 5 $d 100 d7d5 g1f3\n  move e7e5\n"));
    SearchRequestBuilder request;
    request.Increment(600, 0).Moves({"e2e4"});
    std::thread search = SearchInBackground(request);
    NewCommands(10);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto start = Clock::now();
    api.Eng3();
    search.join();
    EXPECT_LT(SecondsSince(start), 1.0);
    EXPECT_EQ(NewCommands(), (Lines{"?"}));
    // Thinking after the stop is not passed on, but the move that answers
    // "?" is: it differs from the last line shown before the stop.
    EXPECT_EQ(FirstMove(), M("e7e5"));
    EXPECT_EQ(Field<std::int16_t>(ib::kMainLineLength), 1);
}

TEST_F(Search, MoveNowBeforeAnyLineShowsTheMoveNotAnOlderOne) {
    ASSERT_NO_FATAL_FAILURE(Open("at search\n  sleep 5000\n  move e7e5\n"));
    // What an earlier search left in the host's record.
    StoreField<MoveWord>(engine_->infoBlock, ib::kMainLine, M("d7d5"));
    StoreField<std::int16_t>(engine_->infoBlock, ib::kMainLineLength, 1);
    SearchRequestBuilder request;
    request.Increment(600, 0).Moves({"e2e4"});
    std::thread search = SearchInBackground(request);
    NewCommands(10);
    api.Eng3();
    search.join();
    EXPECT_EQ(FirstMove(), M("e7e5"));
}

TEST_F(Search, AnAnalysisAsksForStatusAndEndsWithExit) {
    ASSERT_NO_FATAL_FAILURE(Open("analyze 30 $d 7 $d 100 g1f3 b8c6\nstat stat01: $c 1000 $d 12 30\n", "AnalyzeMode=true\n"));
    SearchRequestBuilder request;
    request.NoClock();
    std::thread search = SearchInBackground(request);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    api.Eng3();
    auto start = Clock::now();
    search.join();
    EXPECT_LT(SecondsSince(start), 0.5);
    Lines sent = NewCommands();
    ASSERT_GE(sent.size(), 8u);
    EXPECT_EQ(Lines(sent.begin(), sent.begin() + 6), (Lines{"new", "hard", "easy", "post", "white", "analyze"}));
    // The status line was answered, so a second request followed a second later.
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "."), 2);
    EXPECT_EQ(sent.back(), "exit");
    EXPECT_EQ(Field<std::int16_t>(ib::kRootMoveCount), 30);
    api.Eng3();  // nothing more to stop
    EXPECT_EQ(NewCommands(), Lines{});
}

TEST_F(Search, AnEngineThatRejectsAnalyzeIsAskedToMoveAndGivenUpOn) {
    ASSERT_NO_FATAL_FAILURE(Open("ignore ?\nat search\n  move e7e5\n", "AnalyzeMode=true\n"));
    SearchRequestBuilder request;
    request.NoClock();
    std::thread search = SearchInBackground(request);
    NewCommands(6);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto start = Clock::now();
    api.Eng3();
    search.join();
    double waited = SecondsSince(start);
    EXPECT_GT(waited, 4.0);
    EXPECT_LT(waited, 7.0);
    EXPECT_EQ(NewCommands(), (Lines{"?"}));
    // The engine never searched: it owes no move, and the next search is not
    // held for one.
    SearchRequestBuilder next;
    next.Increment(60, 0).Moves({"e2e4"});
    start = Clock::now();
    api.Eng9(next.bytes);
    EXPECT_LT(SecondsSince(start), 2.0);
    EXPECT_EQ(FirstMove(), M("e7e5"));
}

TEST_F(Search, AnEngineThatDiesEndsTheSearch) {
    const char* crashes[] = {"at search\n  crash\n", "at search\n  think 3 20 $d 1 1 1 e7e5\n  exit 1\n"};
    for (const char* script : crashes) {
        ASSERT_NO_FATAL_FAILURE(Open(script));
        SearchRequestBuilder request;
        request.Increment(600, 0).Moves({"e2e4"});
        auto start = Clock::now();
        api.Eng9(request.bytes);
        EXPECT_LT(SecondsSince(start), 1.5) << script;
        EXPECT_EQ(api.Eng4(), 0);
        EXPECT_EQ(api.Eng2(), 1);
        engine_.reset();
    }
}

TEST_F(Search, ClosingTheEngineEndsAWaitingSearch) {
    ASSERT_NO_FATAL_FAILURE(Open("ignore ?\nat search\n  sleep 60000\n"));
    SearchRequestBuilder request;
    request.Increment(600, 0);
    std::thread search = SearchInBackground(request);
    NewCommands(9);
    auto start = Clock::now();
    EXPECT_EQ(api.Eng2(), 1);
    search.join();
    EXPECT_LT(SecondsSince(start), 4.0);
    EXPECT_EQ(api.Eng4(), 0);
    engine_.reset();
}

}  // namespace
}  // namespace cecp::test
