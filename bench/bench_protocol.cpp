// The interpretation of one line of the engine's output with a 32-move main
// line, from the engine's text to the host's record and notification, in each
// dialect: the classic thinking line, the extended thinking line of protocol
// version 2, and UCI's "info ... pv" line; and UCI's line naming the root move
// the engine is on.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "host/host_link.h"
#include "host/info_block.h"
#include "protocol/dialect.h"
#include "protocol/search_driver.h"
#include "protocol/search_request.h"

namespace {

using namespace cecp;

// The Opera game (Morphy, Paris 1858), 1. e4 to 16... Nxb8, and the same line
// with the last two moves changed, so that the repeat filter never holds a
// line back.
const char* kCoordinate[2] = {
    "e2e4 e7e5 g1f3 d7d6 d2d4 c8g4 d4e5 g4f3 d1f3 d6e5 f1c4 g8f6 f3b3 d8e7 b1c3 c7c6 c1g5 b7b5 c3b5 c6b5 "
    "c4b5 b8d7 e1c1 a8d8 d1d7 d8d7 h1d1 e7e6 b5d7 f6d7 b3b8 d7b8",
    "e2e4 e7e5 g1f3 d7d6 d2d4 c8g4 d4e5 g4f3 d1f3 d6e5 f1c4 g8f6 f3b3 d8e7 b1c3 c7c6 c1g5 b7b5 c3b5 c6b5 "
    "c4b5 b8d7 e1c1 a8d8 d1d7 d8d7 h1d1 e7e6 b5d7 f6d7 b3b7 d7b6"};
const char* kStandard[2] = {
    "e4 e5 Nf3 d6 d4 Bg4 dxe5 Bxf3 Qxf3 dxe5 Bc4 Nf6 Qb3 Qe7 Nc3 c6 Bg5 b5 Nxb5 cxb5 Bxb5+ Nbd7 O-O-O Rd8 "
    "Rxd7 Rxd7 Rd1 Qe6 Bxd7+ Nxd7 Qb8+ Nxb8",
    "e4 e5 Nf3 d6 d4 Bg4 dxe5 Bxf3 Qxf3 dxe5 Bc4 Nf6 Qb3 Qe7 Nc3 c6 Bg5 b5 Nxb5 cxb5 Bxb5+ Nbd7 O-O-O Rd8 "
    "Rxd7 Rxd7 Rd1 Qe6 Bxd7+ Nxd7 Qb7 Nb6"};

// What comes before the main line: depth 20, score 35, 12.34 s, 5678901
// nodes; the extended form adds selective depth 28, 4.5 million nodes a
// second and no table-base hits before its tab.
const char* kClassicPrefix = "20 35 1234 5678901 ";
const char* kExtendedPrefix = "20 35 1234 5678901 28 4500000 0\t";
const char* kUciPrefix =
    "info depth 20 seldepth 28 multipv 1 score cp 35 nodes 5678901 nps 4500000 hashfull 120 tbhits 0 time 12340 pv ";
const char* kUciCurrentMove = "info depth 20 currmove e2e4 currmovenumber 1";

alignas(8) unsigned char g_infoBlock[256];

// A search of the start position, begun by the dialect's own search start
// as Eng9 begins it. The dialects read a search's lines only while it waits
// for the engine's move (UCI only while exactly one "go" is owed its
// "bestmove"; protocol 2 only after the pong of the search's ping, and an
// engine never greeted has announced no ping), and UCI names the root move
// among the legal moves of the searched position. With no engine open a
// search start sends nothing and waits for no answer: every wait ends at
// once without an engine. The depth already reported is above the lines' 20,
// so that every line is read alike (a new depth's report would also empty
// the cache of the line last shown).
DialectState* BeginSearch(const Dialect& dialect) {
    DialectState* open = dialect.open();
    g_host.infoBlock = g_infoBlock;
    g_host.stopRequested = 0;
    alignas(8) unsigned char request[search_request::kEnd] = {};
    StoreField<std::uint8_t>(request, search_request::kStandardStart, 1);
    StoreField<std::uint8_t>(request, search_request::kWhiteToMove, 1);
    StoreField<std::int16_t>(request, search_request::kClockMode, kClockIncrement);
    StoreField<std::int32_t>(request, search_request::kTimeLeft, 600);
    const SearchRequestView view(request);
    g_search.phase = SearchPhase::kPreparing;
    dialect.startSearch(open, view, PlanSearch(view));
    g_host.reportedDepth = 100;
    g_host.lastPvLength = 0;
    return open;
}

// The engine's move ends the search; the dialect's state goes with it.
void EndSearch(const Dialect& dialect, DialectState* open, const char* moveLine) {
    dialect.readLine(open, moveLine);
    dialect.close(open);
    g_search.phase = SearchPhase::kIdle;
}

void ReadMainLines(benchmark::State& state, const char* dialectName, const char* prefix, const char* const* lines,
                   const char* moveLine) {
    const Dialect& dialect = *DialectNamed(dialectName);
    DialectState* open = BeginSearch(dialect);
    std::string text[2] = {std::string(prefix) + lines[0], std::string(prefix) + lines[1]};
    int which = 0;
    for (auto _ : state) {
        dialect.readLine(open, text[which].c_str());
        which ^= 1;
    }
    if (g_host.lastPvLength != 32) state.SkipWithError("the main line was not recognised");
    state.SetItemsProcessed(state.iterations());
    EndSearch(dialect, open, moveLine);
}

void BM_ThinkingLineCoordinate(benchmark::State& state) {
    ReadMainLines(state, "1", kClassicPrefix, kCoordinate, "move e2e4");
}
void BM_ThinkingLineStandard(benchmark::State& state) {
    ReadMainLines(state, "1", kClassicPrefix, kStandard, "move e2e4");
}
void BM_Protocol2ThinkingLineCoordinate(benchmark::State& state) {
    ReadMainLines(state, "2", kExtendedPrefix, kCoordinate, "move e2e4");
}
void BM_Protocol2ThinkingLineStandard(benchmark::State& state) {
    ReadMainLines(state, "2", kExtendedPrefix, kStandard, "move e2e4");
}
void BM_UciInfoLine(benchmark::State& state) {
    ReadMainLines(state, "uci", kUciPrefix, kCoordinate, "bestmove e2e4");
}

void BM_UciCurrentMoveLine(benchmark::State& state) {
    const Dialect& uci = *DialectNamed("uci");
    DialectState* open = BeginSearch(uci);
    StoreField<MoveWord>(g_infoBlock, info_block::kCurrentMove, 0);
    for (auto _ : state) uci.readLine(open, kUciCurrentMove);
    if (LoadField<MoveWord>(g_infoBlock, info_block::kCurrentMove) != MakeMoveWord(12, 28)) {
        state.SkipWithError("the current move was not recognised");
    }
    state.SetItemsProcessed(state.iterations());
    EndSearch(uci, open, "bestmove e2e4");
}

BENCHMARK(BM_ThinkingLineCoordinate);
BENCHMARK(BM_ThinkingLineStandard);
BENCHMARK(BM_Protocol2ThinkingLineCoordinate);
BENCHMARK(BM_Protocol2ThinkingLineStandard);
BENCHMARK(BM_UciInfoLine);
BENCHMARK(BM_UciCurrentMoveLine);

}  // namespace

// The module's notifications go nowhere here.
extern "C" std::int32_t Func3(std::uint32_t, std::uint32_t, std::uint32_t, void*) { return 0; }
