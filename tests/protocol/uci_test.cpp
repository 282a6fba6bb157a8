// UCI engines through the real module, with the scripted test engine
// speaking UCI: the open, every clock, new games, info lines as reports,
// bestmove in its forms, analysis, and the game the engine holds while it
// ponders. (Bestmoves that come too late are the faulty engines' tests'.)
#include <mutex>

#include "search_fixture.h"

namespace cecp::test {
namespace {

// An engine that names itself and three options, answers isready at once,
// thinks three lines and plays e7e5; its ponder and infinite searches wait
// for ponderhit or stop (and its analysis ends with a move it never showed).
constexpr const char* kUciEngine =
    "moveformat bestmove $m\n"
    "hurry stop\n"
    "on uci\n"
    "  send id name Scripted UCI 2.0\n"
    "  send id author Somebody Else\n"
    "  send option name Hash type spin default 16 min 1 max 1024\n"
    "  send option name Ponder type check default false\n"
    "  send option name UCI_AnalyseMode type check default false\n"
    "  send uciok\n"
    "now isready\n"
    "  send readyok\n"
    "on go ponder\n"
    "  think 2 20 info depth $d score cp 10 nodes $d000 pv g1f3 b8c6\n"
    "  await ponderhit stop\n"
    "  move g1f3 b8c6\n"
    "on go infinite\n"
    "  think 200 20 info depth $d score cp 5 nodes $d000 pv d2d4 d7d5\n"
    "  await stop\n"
    "  move g1f3\n"
    "at search\n"
    "  think 3 20 info depth $d seldepth 9 score cp $d0 nodes $d000 nps 100 time $d000 pv e7e5 g1f3\n"
    "  move e7e5 g1f3\n";

class Uci : public Search {
protected:
    void OpenUci(const std::string& script = kUciEngine, const std::string& settings = "") {
        ASSERT_NO_FATAL_FAILURE(OpenWith(script, "Protocol=uci\n" + settings));
        greeting_ = NewCommands(2);
    }
    Lines greeting_;
};

TEST_F(Uci, TheOpenNamesTheEngineAndSetsItsOptions) {
    ASSERT_NO_FATAL_FAILURE(OpenUci(kUciEngine, "Logfile=true\n[Support]\nPonderMode=true\n"
                                                "[Options]\nHash=128\nThreads = 2\nNoValue\n"));
    EXPECT_EQ(greeting_, (Lines{"uci", "setoption name Hash value 128", "setoption name Threads value 2",
                                "setoption name Ponder value true", "isready"}));
    EXPECT_STREQ(api.Eng7(), "Scripted UCI 2.0");
    EXPECT_STREQ(api.Eng6(), "Somebody Else");
    EXPECT_EQ(api.Eng2(), 1);
    EXPECT_EQ(NewCommands(), (Lines{"quit"}));
    EXPECT_NE(engine_->Log().find("-- the engine did not announce the option Threads"), std::string::npos);
    engine_.reset();

    // The settings' names win; without pondering Ponder is left alone.
    ASSERT_NO_FATAL_FAILURE(OpenUci(kUciEngine, "Engine=Mine\nAuthor=Me\n"));
    EXPECT_EQ(greeting_, (Lines{"uci", "isready"}));
    EXPECT_STREQ(api.Eng7(), "Mine");
    EXPECT_STREQ(api.Eng6(), "Me");
}

TEST_F(Uci, EachClockGoesOutInMillisecondsAndNewGamesAreAnnounced) {
    ASSERT_NO_FATAL_FAILURE(OpenUci());
    SearchRequestBuilder request;
    request.Increment(300, 12).Moves({"e2e4"});
    api.Eng9(request.bytes);
    EXPECT_EQ(NewCommands(), (Lines{"ucinewgame", "isready", "position startpos moves e2e4",
                                    "go wtime 300000 btime 300000 winc 12000 binc 12000"}));
    EXPECT_EQ(FirstMove(), M("e7e5"));

    // The same game two moves on: no new game.
    request.MovesInTime(38, 590).Moves({"e2e4", "e7e5", "g1f3"});
    api.Eng9(request.bytes);
    EXPECT_EQ(NewCommands(),
              (Lines{"position startpos moves e2e4 e7e5 g1f3", "go wtime 590000 btime 590000 movestogo 38"}));

    // Another game: a set-up position, or the start with other moves.
    Run(SearchRequestBuilder().Increment(60, 0).Board({{"e1", kWhiteKing}, {"e8", kBlackKing}, {"a7", kBlackPawn}},
                                                      false));
    EXPECT_EQ(NewCommands(), (Lines{"ucinewgame", "isready", "position fen 4k3/p7/8/8/8/8/8/4K3 b - - 0 1",
                                    "go wtime 60000 btime 60000 winc 0 binc 0"}));
    request.Increment(60, 0).Moves({"d2d4"});
    api.Eng9(request.bytes);
    EXPECT_EQ(NewCommands().front(), "ucinewgame");

    // The host's clock is in whole seconds: below one, the engine is given a
    // quarter of a second, never a clock of 0 (no limit to some engines).
    request.Increment(0, 0).Moves({"d2d4", "d7d5"});
    api.Eng9(request.bytes);
    EXPECT_EQ(NewCommands().back(), "go wtime 250 btime 250 winc 0 binc 0");
    request.MovesInTime(1, 0).Moves({"d2d4", "d7d5", "c2c4"});
    api.Eng9(request.bytes);
    EXPECT_EQ(NewCommands().back(), "go wtime 250 btime 250 movestogo 1");
}

// What each main-line notification showed: its first move and score, read
// inside the notification as a host's handler reads them.
struct ShownLine {
    MoveWord first;
    std::int16_t score;
    bool operator==(const ShownLine&) const = default;
};
std::mutex g_shownMutex;
std::vector<ShownLine> g_shown;
void RecordShownLine(std::uint32_t code, void* info) {
    if (code != kNotifyMainline) return;
    std::lock_guard lock(g_shownMutex);
    g_shown.push_back({LoadField<MoveWord>(info, ib::kMainLine), LoadField<std::int16_t>(info, ib::kScore)});
}

TEST_F(Uci, InfoLinesBecomeTheHostsReports) {
    const std::string script =
        "moveformat bestmove $m\n"
        "on uci\n  send uciok\n"
        "now isready\n  send readyok\n"
        "at search\n"
        "  send info depth 1 score cp 20 nodes 100 time 40 pv e7e5\n"
        "  send info depth 6 seldepth 9 multipv 1 score cp -15 nodes 123456789012 nps 5 time 2600 pv e7e5 g1f3 b8c6\n"
        "  send info depth 6 multipv 2 score cp 99 pv d7d5\n"
        "  send info depth 7 currmove g8f6 currmovenumber 3\n"
        "  send info depth 7 score cp 300 lowerbound nodes 5 pv c7c5\n"
        "  send info string the engine's own words pv a7a6\n"
        "  send info depth 8 score mate 3 pv g8f6\n"
        "  move e7e5\n";
    ASSERT_NO_FATAL_FAILURE(OpenUci(script));
    g_shown.clear();
    HostSetNotificationHook(RecordShownLine);
    Run(TimedAfter());
    HostSetNotificationHook(nullptr);
    EXPECT_EQ(Field<std::int16_t>(ib::kDepth), 8);
    EXPECT_EQ(Field<std::int64_t>(ib::kNodes), 5);
    EXPECT_EQ(Field<MoveWord>(ib::kCurrentMove), M("g8f6"));
    EXPECT_EQ(Field<std::int16_t>(ib::kCurrentMoveNumber), 3);
    EXPECT_EQ(Field<std::int16_t>(ib::kRootMoveCount), 20);
    // The last exact line: mate in three, in the host's band; g8f6 is its
    // move, but the engine's move e7e5 is shown after it.
    EXPECT_EQ(FirstMove(), M("e7e5"));
    EXPECT_EQ(Field<std::int16_t>(ib::kScore), 30000 - 3);

    // What each line told the host, in order: a bound, another main line of
    // several and an "info string" show nothing.
    EXPECT_EQ(g_shown, (std::vector<ShownLine>{{M("e7e5"), 20}, {M("e7e5"), -15}, {M("g8f6"), 30000 - 3},
                                                {M("e7e5"), 30000 - 3}}));
}

TEST_F(Uci, BestmoveEndsTheSearchWithOrWithoutAMove) {
    for (const char* answer : {"(none)", "0000"}) {
        const std::string script = std::string(
                                       "on uci\n  send uciok\n"
                                       "now isready\n  send readyok\n"
                                       "at search\n  send bestmove ") +
                                   answer + "\n";
        ASSERT_NO_FATAL_FAILURE(OpenUci(script));
        StoreField<MoveWord>(engine_->infoBlock, ib::kMainLine, M("a2a3"));
        EXPECT_LT(Run(TimedAfter()), 1.0) << answer;
        EXPECT_EQ(FirstMove(), M("a2a3")) << answer << ": no move is shown";
        EXPECT_EQ(api.Eng2(), 1);
        engine_.reset();
    }
}

TEST_F(Uci, AnAnalysisSetsTheAnalyseModeAndEndsWithoutAMove) {
    ASSERT_NO_FATAL_FAILURE(OpenUci(kUciEngine, "[Support]\nAnalyzeMode=true\n"));
    SearchRequestBuilder analysis;
    analysis.NoClock().Moves({"e2e4", "e7e5"});
    std::thread search = SearchInBackground(analysis);
    EXPECT_EQ(NewCommands(5), (Lines{"ucinewgame", "isready", "setoption name UCI_AnalyseMode value true",
                                     "position startpos moves e2e4 e7e5", "go infinite"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    StopAndJoin(search);
    EXPECT_EQ(NewCommands(), (Lines{"stop"}));
    EXPECT_EQ(FirstMove(), M("d2d4")) << "the analysis' main line stands, not its move";

    Run(TimedAfter({"e2e4", "e7e5", "g1f3"}));
    EXPECT_EQ(NewCommands(), (Lines{"setoption name UCI_AnalyseMode value false",
                                    "position startpos moves e2e4 e7e5 g1f3",
                                    "go wtime 600000 btime 600000 winc 0 binc 0"}));
}

// The host reads the main line it is left with at the end of the search: its
// first move is the engine's, its second the reply to ponder on. A line the
// module does not show (a bound, a line without pv, another multipv line)
// never removes the one shown; a bestmove that the shown line does not begin
// with is shown with its ponder move where that is legal.
TEST_F(Uci, TheHostIsLeftWithTheLastLineOrTheMoveAndItsReply) {
    struct Case {
        const char* last;      // the engine's lines after its exact line "e7e5 g1f3"
        const char* bestmove;
        std::vector<const char*> line;
    };
    const Case cases[] = {
        {"info depth 4 seldepth 6 score cp 5 upperbound nodes 900 pv e7e5 g1f3", "e7e5 ponder g1f3", {"e7e5", "g1f3", "b8c6"}},
        {"info depth 4 currmove d7d5 currmovenumber 2\n  send info depth 5 currmove c7c5 currmovenumber 1",
         "e7e5 ponder g1f3", {"e7e5", "g1f3", "b8c6"}},
        {"info depth 3 multipv 2 score cp 0 pv d7d5 e4d5", "e7e5 ponder g1f3", {"e7e5", "g1f3", "b8c6"}},
        {"info depth 4 score cp -20 lowerbound pv d7d5", "d7d5 ponder e4d5", {"d7d5", "e4d5"}},
        {"info depth 4 nodes 5000", "d7d5", {"d7d5"}},
        {"info depth 4 nodes 5000", "d7d5 ponder e2e4", {"d7d5"}},  // no pawn on e2 any more
        {"info depth 4 nodes 5000", "e7e5 ponder d2d4", {"e7e5", "g1f3", "b8c6"}},
    };
    for (const Case& c : cases) {
        const std::string script = std::string(
                                       "on uci\n  send uciok\n"
                                       "now isready\n  send readyok\n"
                                       "at search\n"
                                       "  send info depth 3 score cp 25 nodes 500 pv e7e5 g1f3 b8c6\n"
                                       "  send ") +
                                   c.last + "\n  send bestmove " + c.bestmove + "\n";
        ASSERT_NO_FATAL_FAILURE(OpenUci(script));
        Run(TimedAfter());
        std::vector<MoveWord> expected;
        for (const char* move : c.line) expected.push_back(M(move));
        EXPECT_EQ(MainLine(), expected) << c.last << " / " << c.bestmove;
        EXPECT_EQ(Field<std::int16_t>(ib::kScore), 25) << c.last;
        EXPECT_EQ(api.Eng2(), 1);
        engine_.reset();
    }

    // A line of the move alone gives the host nothing to ponder on: the
    // engine's ponder move completes it.
    ASSERT_NO_FATAL_FAILURE(OpenUci("on uci\n  send uciok\nnow isready\n  send readyok\n"
                                    "at search\n  send info depth 2 score cp 7 pv e7e5\n"
                                    "  send bestmove e7e5 ponder g1f3\n"));
    Run(TimedAfter());
    EXPECT_EQ(MainLine(), (std::vector<MoveWord>{M("e7e5"), M("g1f3")}));
}

// The game the engine holds is the host's game whatever it pondered on: a
// ponder search confirmed or given up on starts no new game; a move taken
// back does.
TEST_F(Uci, PonderingNeverStartsANewGame) {
    ASSERT_NO_FATAL_FAILURE(OpenUci(kUciEngine, "[Support]\nPonderMode=true\n"));
    Run(TimedAfter());
    EXPECT_EQ(NewCommands().front(), "ucinewgame");

    SearchRequestBuilder missed;
    missed.Increment(60, 0).Moves({"e2e4", "e7e5", "g1f3"}).Ponder();
    std::thread search = SearchInBackground(missed);
    NewCommands(2);
    StopAndJoin(search);
    NewCommands();
    Run(TimedAfter({"e2e4", "e7e5", "d2d4"}));
    EXPECT_EQ(NewCommands(), (Lines{"position startpos moves e2e4 e7e5 d2d4",
                                    "go wtime 600000 btime 600000 winc 0 binc 0"}));

    SearchRequestBuilder hit;
    hit.Increment(60, 0).Moves({"e2e4", "e7e5", "d2d4", "e5d4", "g1f3"}).Ponder();
    search = SearchInBackground(hit);
    NewCommands(2);
    api.Eng10();
    search.join();
    Run(TimedAfter({"e2e4", "e7e5", "d2d4", "e5d4", "g1f3", "g8f6", "f3d4"}));
    Lines sent = NewCommands();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "ucinewgame"), 0) << sent.front();
    Run(TimedAfter({"e2e4", "e7e5", "d2d4", "e5d4"}));  // a move taken back
    EXPECT_EQ(NewCommands().front(), "ucinewgame");
}

}  // namespace
}  // namespace cecp::test
