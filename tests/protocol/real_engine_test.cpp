// Searches through the module with real engines from Debian's packages, in
// the dialects they speak. The classic conversation with real engines, and
// an engine that answers nothing, are enghost's games' (tests/tools).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "chess/move_list.h"
#include "chess/move_text.h"
#include "host_side.h"
#include "module_loader.h"
#include "search_request_builder.h"

namespace cecp::test {
namespace {

namespace fs = std::filesystem;
namespace ib = info_block;

// fairymax as the tests start it, with its layout fixed where the system
// allows (it crashes at its first unknown command in some randomised
// starts); where it is not installed, its own path, which the tests skip on.
const char* Fairymax() {
    constexpr const char* kInstalled = "/usr/games/fairymax";
    return fs::exists(kInstalled) ? CECP_FAIRYMAX_LAUNCHER : kInstalled;
}

// A module installed in front of a real engine: its folder holds a link to
// the engine and the settings.
class RealEngine : public ::testing::Test {
protected:
    void Install(const char* executable, const std::string& settings, const std::string& extraFiles = "",
                 const std::string& extraContent = "") {
        if (!fs::exists(executable)) GTEST_SKIP() << executable << " is not installed";
        module_ = InstallModule(scratch_.path(), "real.eng");
        fs::path folder = scratch_.path() / "engines" / "real";
        fs::create_symlink(executable, folder / "real");
        WriteFile(folder / "real.init", settings);
        if (!extraFiles.empty()) WriteFile(folder / extraFiles, extraContent);
        loaded_ = std::make_unique<LoadedModule>(module_);
        std::string missing;
        ASSERT_TRUE(api.Resolve(*loaded_, &missing)) << missing;
        HostClearNotifications();
        ASSERT_EQ(api.Eng1(info, 0, 0, 0, 0, 0), 0);
    }
    // Waits, at most seconds, until the module has shown depth notifications
    // (one for each new depth) since the notification numbered from; true
    // when they came. The record itself is the module's while it searches.
    static bool WaitForDepths(int from, int depths, double seconds) {
        auto start = Clock::now();
        for (;;) {
            int seen = 0;
            for (int i = from, n = HostNotificationCount(); i < n; ++i) {
                if (HostNotificationAt(i).code == kNotifyDepth) ++seen;
            }
            if (seen >= depths) return true;
            if (SecondsSince(start) > seconds) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    void TearDown() override {
        if (loaded_) {
            auto start = Clock::now();
            EXPECT_EQ(api.Eng2(), 1);
            EXPECT_LT(SecondsSince(start), 4.0);
        }
    }
    // The main line in the record, checked move by move for legality from the
    // position of the request.
    int LegalMainLineMoves(Position position) const {
        int n = LoadField<std::int16_t>(info, ib::kMainLineLength);
        for (int i = 0; i < n; ++i) {
            MoveWord move = LoadField<MoveWord>(info, ib::kMainLine + 2 * i);
            MoveList list;
            int count = list.Generate(position);
            bool legal = false;
            for (int j = 0; j < count && !legal; ++j) {
                if (list.MoveAt(j) != move) continue;
                Position after = position;
                after.MakeMove(move);
                legal = KingSafeAfterMove(after, move);
            }
            if (!legal) return -1;
            position.MakeMove(move);
        }
        return n;
    }

    ModuleApi api;
    alignas(8) unsigned char info[256] = {};

private:
    ScratchFolder scratch_;
    fs::path module_;
    std::unique_ptr<LoadedModule> loaded_;
};

// Each capability of the host, tried on real engines in the dialects they
// speak: a search from the start and from a set-up position, moving now, an
// analysis, a ponder hit and a ponder miss. Every move must be legal.
struct DialectCase {
    const char* name;
    const char* executable;
    const char* settings;  // the settings file, "Protocol" included
    const char* extraFile;
    const char* extraContent;
    bool movesNow;  // the engine moves at once when told
};

void PrintTo(const DialectCase& c, std::ostream* out) { *out << c.name; }

class EngineInDialect : public RealEngine, public ::testing::WithParamInterface<DialectCase> {
protected:
    void SetUp() override {
        const DialectCase& c = GetParam();
        std::string settings = std::string("[Support]\nAnalyzeMode=true\nPonderMode=true\n[Parameter]\n") + c.settings;
        ASSERT_NO_FATAL_FAILURE(Install(c.executable, settings, c.extraFile, c.extraContent));
    }
    // Runs the request on its own thread; after milliseconds, and once the
    // search has shown depths new depths (waited for up to half a minute, as
    // an engine on a loaded machine may be slow to start), then() is called;
    // the search must end within limit seconds of that. The time it took is
    // printed under the name of what then() did, for the record.
    template <typename Then>
    void SearchThen(const char* what, SearchRequestBuilder& request, int milliseconds, int depths, Then then,
                    double limit) {
        const int from = HostNotificationCount();
        std::thread search([&] { api.Eng9(request.bytes); });
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        EXPECT_TRUE(WaitForDepths(from, depths, 30.0)) << what;
        auto start = Clock::now();
        then();
        search.join();
        const double took = SecondsSince(start);
        std::printf("[ measured ] %s: %s to Eng9's return %.3f s\n", GetParam().name, what, took);
        EXPECT_LT(took, limit);
    }
    static Position After(const std::vector<const char*>& moves) {
        Position position;
        position.SetStartPosition();
        for (const char* move : moves) position.MakeMove(M(move));
        return position;
    }
};

TEST_P(EngineInDialect, PlaysAnalysesAndPondersTheHostsWay) {
    // From the start: a move within the second it was given and a bit.
    SearchRequestBuilder request;
    request.MovesInTime(1, 1).Moves({"e2e4"});
    auto start = Clock::now();
    api.Eng9(request.bytes);
    EXPECT_LT(SecondsSince(start), 4.0);
    EXPECT_GE(LegalMainLineMoves(After({"e2e4"})), 1) << "from the start";

    // A set-up position, Black to move with castling rights and en passant:
    // the move must be legal there.
    SearchRequestBuilder setUp;
    setUp.MovesInTime(1, 1).Board({{"e1", kWhiteKing}, {"a1", kWhiteRook}, {"d4", kWhitePawn}, {"h2", kWhitePawn},
                                   {"e8", kBlackKing}, {"h8", kBlackRook}, {"e4", kBlackPawn}, {"a7", kBlackPawn}},
                                  false, kWhiteLong | kBlackShort, 19);
    api.Eng9(setUp.bytes);
    Position setUpPosition;
    setUpPosition.SetFromBoard(setUp.View().Board(), 1, kWhiteLong | kBlackShort, 19);
    EXPECT_GE(LegalMainLineMoves(setUpPosition), 1) << "from a set-up position";

    // An analysis, stopped after two seconds, and not before it has shown
    // four depths.
    request.NoClock().Moves({"e2e4", "c7c5"});
    SearchThen("analysis stopped (Eng3)", request, 2000, 4, [&] { api.Eng3(); }, 2.0);
    EXPECT_GE(LegalMainLineMoves(After({"e2e4", "c7c5"})), 2) << "analysing";

    // Pondering on 1. e4 e5: the host plays e5 (a hit), the engine's move
    // then comes in its own time.
    request.Increment(3, 0).Moves({"e2e4", "e7e5"}).Ponder();
    SearchThen("ponder hit (Eng10)", request, 500, 0, [&] { api.Eng10(); }, 6.0);
    EXPECT_GE(LegalMainLineMoves(After({"e2e4", "e7e5"})), 1) << "a ponder hit";

    // The host plays another reply (a miss): the ponder search ends within
    // a second or so, and the next search is the engine's as usual.
    request.Increment(10, 0).Moves({"e2e4", "e7e5", "g1f3", "b8c6"}).Ponder();
    SearchThen("ponder miss (Eng3)", request, 500, 0, [&] { api.Eng3(); }, 1.5);
    SearchRequestBuilder next;
    next.MovesInTime(1, 1).Moves({"e2e4", "e7e5", "g1f3", "g8f6"});
    api.Eng9(next.bytes);
    EXPECT_GE(LegalMainLineMoves(After({"e2e4", "e7e5", "g1f3", "g8f6"})), 1) << "after a ponder miss";

    // Move now in a long think; an engine that does not read its input
    // while it thinks (fairymax) is given up on after five seconds, the last
    // line it showed standing.
    request.Increment(600, 0).Moves({"d2d4"});
    SearchThen("move now (Eng3)", request, 1000, 0, [&] { api.Eng3(); }, GetParam().movesNow ? 2.0 : 6.0);
    EXPECT_GE(LegalMainLineMoves(After({"d2d4"})), 1) << "moving now";
}

constexpr const char* kPolyglotIni = "[PolyGlot]\nEngineCommand = /usr/games/stockfish\nEngineDir = .\n[Engine]\n";

INSTANTIATE_TEST_SUITE_P(
    Engines, EngineInDialect,
    ::testing::Values(DialectCase{"fairymax_protocol2", Fairymax(), "Protocol=2\n", "", "", false},
                      DialectCase{"fairy_stockfish_protocol2", "/usr/games/fairy-stockfish", "Protocol=2\n", "", "",
                                  true},
                      DialectCase{"polyglot_stockfish_protocol2", "/usr/games/polyglot",
                                  "Protocol=2\nCommandLine=stockfish.ini\n", "stockfish.ini", kPolyglotIni, true},
                      DialectCase{"stockfish_uci", "/usr/games/stockfish", "Protocol=uci\n", "", "", true},
                      DialectCase{"fairy_stockfish_uci", "/usr/games/fairy-stockfish", "Protocol=uci\n", "", "",
                                  true}),
    [](const ::testing::TestParamInfo<DialectCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cecp::test
