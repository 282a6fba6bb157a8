// Whole search requests through the real module, the real engine process and
// the real pipes, with the scripted test engine: what crosses the pipe, what
// the host is told, and how long each kind of search takes to end.
#include <filesystem>

#include "search_fixture.h"

namespace cecp::test {
namespace {

constexpr const char* kThinkThenMove =
    "at search\n"
    "  think 3 20 $d 1$d $d0 $d000 e7e5 g1f3\n"
    "  move e7e5\n";

// The clock, the game and the search in the classic conversation (how each
// command is written is the commands' tests' matter), and what the host is
// told: a new search, the depth, and the main line last.
TEST_F(Search, ATimedSearchSendsClockPositionAndGo) {
    ASSERT_NO_FATAL_FAILURE(Open(kThinkThenMove));
    Run(SearchRequestBuilder().Increment(300, 12).Moves({"e2e4"}));
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
}

// The host's own reports through the exports: a 64-bit count in two argument
// slots, 16-bit words in slots of their own (the 32-bit build runs this too).
TEST_F(Search, TheHostsOwnReportsArriveWhole) {
    ASSERT_NO_FATAL_FAILURE(Open(kThinkThenMove));
    Run(SearchRequestBuilder().Increment(300, 12).Moves({"e2e4"}));
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

TEST_F(Search, AMatedSideGetsNoSearchCommand) {
    ASSERT_NO_FATAL_FAILURE(Open(kThinkThenMove));
    SearchRequestBuilder request;
    request.Increment(60, 0).Moves({"f2f3", "e7e5", "g2g4", "d8h4"});
    EXPECT_LT(Run(request), 1.0);
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
    EXPECT_LT(StopAndJoin(search), 2.0);
    EXPECT_EQ(NewCommands(), (Lines{"e7e5", "easy", "?"}));
}

// Pondering the host's way (protocol 2, UCI): the engine searches the position
// after the expected reply as if it were on move. Its move waits for the
// host's confirmation, which may come before or after it; once the host has
// given up on the reply, the move the engine then plays belongs to no search.
// The engine's move differs from the line it showed, so that the host can be
// seen to be shown it, or not.
using PonderOnTheReply = SearchWith<const Dialect*>;

SearchRequestBuilder PonderOnE5() {
    SearchRequestBuilder request;
    request.Increment(60, 0).Moves({"e2e4", "e7e5"}).Ponder();
    return request;
}

TEST_P(PonderOnTheReply, AMoveFoundBeforeTheConfirmationIsHeldForIt) {
    const Dialect& d = *GetParam();
    ASSERT_NO_FATAL_FAILURE(OpenIn(d, Script(d, "at search\n" + Thinking(d, 2, 20, "g1f3 b8c6") + "  move d2d4\n"),
                                   "[Support]\nPonderMode=true\n"));
    SearchRequestBuilder request = PonderOnE5();
    std::thread search = SearchInBackground(request);
    WaitForCommand("go");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(api.Eng4(), 1) << "the engine's move ended the search before the confirmation";
    NewCommands();
    auto hit = Clock::now();
    api.Eng10();
    search.join();
    EXPECT_LT(SecondsSince(hit), 0.5);
    EXPECT_EQ(FirstMove(), M("d2d4")) << "the held move was not shown";
    EXPECT_EQ(NewCommands(), Lines{}) << "the engine had moved: nothing to confirm";
}

TEST_P(PonderOnTheReply, AConfirmationBeforeTheMoveLetsTheSearchGoOn) {
    const Dialect& d = *GetParam();
    ASSERT_NO_FATAL_FAILURE(OpenIn(d, Script(d, "at search\n" + Thinking(d, 10, 50, "g1f3 b8c6") + "  move d2d4\n"),
                                   "[Support]\nPonderMode=true\n"));
    SearchRequestBuilder request = PonderOnE5();
    auto start = Clock::now();
    std::thread search = SearchInBackground(request);
    WaitForCommand("go");
    Lines sent = NewCommands();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), &d == &kUci ? "go ponder wtime 60000 btime 60000 winc 0 binc 0" : "go");
    api.Eng10();
    search.join();
    EXPECT_GT(SecondsSince(start), 0.4) << "the search ended before the engine moved";
    EXPECT_EQ(FirstMove(), M("d2d4")) << "the move was not shown";
    EXPECT_EQ(NewCommands(), &d == &kUci ? Lines{"ponderhit"} : Lines{});
}

// The engine is told to stop, and plays at once a move it never showed a
// line of: the search ends without it.
TEST_P(PonderOnTheReply, TheMoveThatAnswersAMissIsNotShown) {
    const Dialect& d = *GetParam();
    ASSERT_NO_FATAL_FAILURE(OpenIn(d, Script(d, "at search\n" + Thinking(d, 2, 20, "g1f3 b8c6") +
                                                    "  sleep 5000\n  move d2d4\n"),
                                   "[Support]\nPonderMode=true\n"));
    SearchRequestBuilder request = PonderOnE5();
    std::thread search = SearchInBackground(request);
    WaitForCommand("go");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    NewCommands();
    HostClearNotifications();
    EXPECT_LT(StopAndJoin(search), 1.0);
    EXPECT_EQ(NewCommands(), Lines{d.moveNow});
    EXPECT_EQ(MainLinesShown(), 0) << "the missed search's move was shown";
    EXPECT_EQ(FirstMove(), M("g1f3"));
}

INSTANTIATE_TEST_SUITE_P(Dialects, PonderOnTheReply, ::testing::Values(&kTwo, &kUci), DialectName);

// Moving now, in every dialect: the engine is asked for its move, and the host
// is shown that move, not the last line before the stop (which it differs
// from), nor what an earlier search left in the record when no line came.
using MoveNow = SearchWith<const Dialect*>;

TEST_P(MoveNow, CutsTheSearchShortAndShowsTheMovePlayed) {
    const Dialect& d = *GetParam();
    ASSERT_NO_FATAL_FAILURE(OpenIn(d, Script(d, "at search\n  sleep 500\n" + Thinking(d, 200, 50, "d7d5 g1f3") +
                                                    "  move e7e5\n")));
    for (int linesShown : {0, 1}) {
        StoreField<MoveWord>(engine_->infoBlock, ib::kMainLine, M("d7d5"));
        SearchRequestBuilder request = TimedAfter(linesShown ? std::vector<const char*>{"e2e4", "c7c6", "d2d4"}
                                                             : std::vector<const char*>{"e2e4"});
        std::thread search = SearchInBackground(request);
        WaitForCommand("go");
        NewCommands();
        std::this_thread::sleep_for(std::chrono::milliseconds(linesShown ? 900 : 0));
        EXPECT_LT(StopAndJoin(search), 1.0);
        EXPECT_EQ(NewCommands(), Lines{d.moveNow});
        EXPECT_EQ(MainLine(), std::vector<MoveWord>{M("e7e5")}) << (linesShown ? "after lines" : "before any line");
    }
}

INSTANTIATE_TEST_SUITE_P(Dialects, MoveNow, ::testing::Values(&kClassic, &kTwo, &kUci), DialectName);

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

// Nothing runs in an engine that refused "analyze": the host's stop ends the
// search at once, and nothing is sent to stop it.
TEST_F(Search, AnEngineThatRejectsAnalyzeHasNothingToStop) {
    ASSERT_NO_FATAL_FAILURE(Open("ignore ?\nat search\n  move e7e5\n", "AnalyzeMode=true\n"));
    SearchRequestBuilder request;
    request.NoClock();
    std::thread search = SearchInBackground(request);
    NewCommands(6);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // Asked to move now, the engine would hold the stop for the module's
    // whole patience of five seconds.
    EXPECT_LT(StopAndJoin(search), 2.0);
    EXPECT_EQ(NewCommands(), (Lines{}));
    // The engine never searched: it owes no move, and the next search is not
    // held for one.
    SearchRequestBuilder next;
    next.Increment(60, 0).Moves({"e2e4"});
    EXPECT_LT(Run(next), 2.0);
    EXPECT_EQ(FirstMove(), M("e7e5"));
}

// An engine that cannot be opened (an unknown dialect in the settings, an
// engine that dies in its greeting or never finishes it) holds the host no
// longer than the greeting's bound and says why.
TEST_F(Search, AnEngineThatCannotBeOpenedSaysWhyWithinItsBound) {
    struct Case {
        const char* settings;
        const char* script;
        const char* told;
        double below;
    };
    const Case cases[] = {
        {"Protocol= 3 \n", "", "unknown Protocol \"3\" in failing.init (use 1, 2 or uci)", 3.0},
        {"Protocol=xboard\n", "", "unknown Protocol \"xboard\" in failing.init (use 1, 2 or uci)", 3.0},
        // These die a while after their last line: only the end of their
        // output can wake the open's wait.
        {"Protocol=2\n", "on protover\n  send feature ping=1\n  sleep 300\n  crash\n",
         "the engine ended during the protocol 2 feature negotiation", 3.0},
        {"Protocol=uci\n", "on uci\n  send id name Dying\n  sleep 300\n  crash\n",
         "the engine ended before it answered uci with uciok", 3.0},
        {"Protocol=uci\n", "on uci\n  send id name Mute\n",
         "the engine did not answer uci with uciok within 10 seconds", 14.0},
    };
    for (const Case& c : cases) {
        engine_ = std::make_unique<InstalledEngine>("failing");
        ASSERT_TRUE(engine_->ready);
        api = engine_->api;
        engine_->InstallExecutable();
        engine_->Configure(c.script, c.settings);
#ifndef _WIN32
        testing::internal::CaptureStderr();
#endif
        auto start = Clock::now();
        EXPECT_EQ(engine_->Open(), 9) << c.told;
        EXPECT_LT(SecondsSince(start), c.below) << c.told;
#ifndef _WIN32
        EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string("failing.eng: ") + c.told + "\n");
#endif
        EXPECT_EQ(api.Eng5(), 0);
        EXPECT_EQ(std::filesystem::exists(engine_->folder / "transcript.txt"), c.script[0] != '\0')
            << c.told << ": the engine was started, or not";
        EXPECT_EQ(api.Eng2(), 0);
        engine_.reset();
    }
    // Blanks around the dialect's name do not matter.
    ASSERT_NO_FATAL_FAILURE(OpenWith("", "Protocol=  1\t\n"));
}

}  // namespace
}  // namespace cecp::test
