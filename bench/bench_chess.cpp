// Move generation, move-text recognition and standard notation. Counters
// give the time per move recognised or written ("per_move") and the perft
// rate.
//
//   bin/bench_chess --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "chess/move_list.h"
#include "chess/move_text.h"
#include "chess/notation.h"
#include "fen.h"
#include "perft.h"

namespace cecp {
namespace {

// Morphy's Opera game up to 16...Nxb8: captures, checks, long castling, a
// disambiguated knight, 32 plies.
constexpr const char* kOperaGame =
    "1.e4 e5 2.Nf3 d6 3.d4 Bg4 4.dxe5 Bxf3 5.Qxf3 dxe5 6.Bc4 Nf6 7.Qb3 Qe7 8.Nc3 c6 9.Bg5 b5 "
    "10.Nxb5 cxb5 11.Bxb5+ Nbd7 12.O-O-O Rd8 13.Rxd7 Rxd7 14.Rd1 Qe6 15.Bxd7+ Nxd7 16.Qb8+ Nxb8";
// A UCI engine's main line of 32 plies from the perft middlegame (Stockfish
// at depth 26, two plies added by a shorter search): both sides' pieces
// still on, so every move list is long.
constexpr const char* kMiddlegameLine =
    "c3d5 f6d5 g5e7 d5f4 e2d1 c6e7 g1h1 g4h5 c2c3 b7b5 c4b3 g8h8 d3d4 f7f5 e4f5 c5b6 "
    "d4e5 d6e5 d1d7 h5f3 g2f3 e7f5 a1d1 f8f6 a3a4 f4h3 b3c2 a8f8 c2f5 f6f5 d7f5 b6c5";
constexpr int kLinePlies = 32;

struct Line {
    Position start;
    std::string standard, coordinate;  // standard with move numbers, as 1.e4 e5 2.Nf3
    std::vector<std::string> standardMoves, coordinateMoves;
    std::vector<Position> before;  // the position before each move
};

// The line read from the start position and written both ways.
Line MakeLine(const Position& start, const char* text) {
    Line l;
    l.start = start;
    MoveTextRecogniser recogniser;
    MoveWord moves[128];
    const int count = recogniser.ParseVariation(text, start, moves, 128);
    Position position = start;
    for (int i = 0; i < count; ++i) {
        char san[kSanTextSize];
        WriteSan(position, moves[i], san);
        l.before.push_back(position);
        l.standardMoves.push_back(san);
        l.coordinateMoves.push_back(test::MoveName(moves[i]));
        const std::string space = i > 0 ? " " : "";
        l.standard += space + (i % 2 == 0 ? std::to_string(i / 2 + 1) + "." : "") + san;
        l.coordinate += space + l.coordinateMoves.back();
        position.MakeMove(moves[i]);
    }
    return l;
}

const Line& OperaLine() {
    static const Line line = [] {
        Position start;
        start.SetStartPosition();
        return MakeLine(start, kOperaGame);
    }();
    return line;
}

const Line& MiddlegameLine() {
    static const Line line = MakeLine(test::FromFen(test::kMiddlegame), kMiddlegameLine);
    return line;
}

void CountMoves(benchmark::State& state, int movesPerIteration) {
    state.counters["per_move"] = benchmark::Counter(static_cast<double>(movesPerIteration),
                                                    benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
}

void BM_PerftStart(benchmark::State& state) {
    Position start;
    start.SetStartPosition();
    std::uint64_t leaves = 0;
    for (auto _ : state) benchmark::DoNotOptimize(leaves = test::Perft(start, static_cast<int>(state.range(0))));
    state.counters["leaves"] = static_cast<double>(leaves);
    state.counters["leaves_per_s"] =
        benchmark::Counter(static_cast<double>(leaves), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PerftStart)->Arg(4)->Arg(5)->Unit(benchmark::kMillisecond);

void BM_Generate(benchmark::State& state) {
    const Position kiwipete = test::FromFen(test::kKiwipete);
    MoveList list;
    for (auto _ : state) benchmark::DoNotOptimize(list.Generate(kiwipete));
}
BENCHMARK(BM_Generate);

// A line that did not read back whole, or the Opera game written back
// otherwise than in its own text, would time something else.
bool Usable(benchmark::State& state, const Line& line) {
    if (static_cast<int>(line.before.size()) != kLinePlies || (&line == &OperaLine() && line.standard != kOperaGame)) {
        state.SkipWithError("line not recognised");
        return false;
    }
    return true;
}

void ParseMoves(benchmark::State& state, const std::vector<std::string>& texts) {
    const Line& line = OperaLine();
    if (!Usable(state, line)) return;
    MoveTextRecogniser recogniser;
    MoveWord move = 0;
    for (auto _ : state)
        for (std::size_t i = 0; i < line.before.size(); ++i)
            benchmark::DoNotOptimize(recogniser.ParseMoveText(texts[i].c_str(), line.before[i], &move));
    CountMoves(state, kLinePlies);
}

void BM_ParseMoveTextCoordinate(benchmark::State& state) { ParseMoves(state, OperaLine().coordinateMoves); }
void BM_ParseMoveTextStandard(benchmark::State& state) { ParseMoves(state, OperaLine().standardMoves); }
BENCHMARK(BM_ParseMoveTextCoordinate);
BENCHMARK(BM_ParseMoveTextStandard);

// A whole main line of 32 plies in one call, as the reader thread gets it.
void ParseLine(benchmark::State& state, const Line& line, const std::string& text) {
    if (!Usable(state, line)) return;
    MoveTextRecogniser recogniser;
    MoveWord moves[128];
    int count = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(count = recogniser.ParseVariation(text.c_str(), line.start, moves, 128));
    if (count != kLinePlies) state.SkipWithError("line not recognised");
    CountMoves(state, kLinePlies);
}

void BM_ParseVariationCoordinate(benchmark::State& state) { ParseLine(state, OperaLine(), OperaLine().coordinate); }
void BM_ParseVariationStandard(benchmark::State& state) { ParseLine(state, OperaLine(), OperaLine().standard); }
void BM_ParseVariationCoordinateMiddlegame(benchmark::State& state) {
    ParseLine(state, MiddlegameLine(), MiddlegameLine().coordinate);
}
void BM_ParseVariationStandardMiddlegame(benchmark::State& state) {
    ParseLine(state, MiddlegameLine(), MiddlegameLine().standard);
}
BENCHMARK(BM_ParseVariationCoordinate);
BENCHMARK(BM_ParseVariationStandard);
BENCHMARK(BM_ParseVariationCoordinateMiddlegame);
BENCHMARK(BM_ParseVariationStandardMiddlegame);

// The game's own notation written back, checks and disambiguation included.
void BM_WriteSan(benchmark::State& state) {
    const Line& line = OperaLine();
    if (!Usable(state, line)) return;
    std::vector<MoveWord> moves;
    for (const std::string& text : line.coordinateMoves) moves.push_back(test::Move(text));
    char san[kSanTextSize];
    for (auto _ : state)
        for (std::size_t i = 0; i < moves.size(); ++i) benchmark::DoNotOptimize(WriteSan(line.before[i], moves[i], san));
    CountMoves(state, kLinePlies);
}
BENCHMARK(BM_WriteSan);

}  // namespace
}  // namespace cecp
