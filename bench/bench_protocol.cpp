// The interpretation of one thinking line with a 32-move main line, from the
// engine's text to the host's record and notification.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "host/adapter_state.h"
#include "protocol/dialect.h"

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

void InterpretThinkingLines(benchmark::State& state, const char* const* lines) {
    alignas(8) static unsigned char info[256];
    g_state.infoBlock = info;
    g_state.stopRequested = 0;
    g_state.reportedDepth = 100;
    Position start;
    start.SetStartPosition();
    SetEnginePosition(start);
    std::string text[2] = {std::string("20 35 1234 5678901 ") + lines[0], std::string("20 35 1234 5678901 ") + lines[1]};
    int which = 0;
    for (auto _ : state) {
        cecp::OpenDialect().readLine(text[which].c_str());
        which ^= 1;
    }
    if (g_state.lastPvLength != 32) state.SkipWithError("the main line was not recognised");
    state.SetItemsProcessed(state.iterations());
    g_state.infoBlock = nullptr;
}

void BM_ThinkingLineCoordinate(benchmark::State& state) { InterpretThinkingLines(state, kCoordinate); }
void BM_ThinkingLineStandard(benchmark::State& state) { InterpretThinkingLines(state, kStandard); }
BENCHMARK(BM_ThinkingLineCoordinate);
BENCHMARK(BM_ThinkingLineStandard);

}  // namespace

// The module's notifications go nowhere here.
extern "C" std::int32_t Func3(std::uint32_t, std::uint32_t, std::uint32_t, void*) { return 0; }
