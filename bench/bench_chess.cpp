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
constexpr int kOperaPlies = 32;

struct Line {
    std::string standard, coordinate;
    std::vector<std::string> standardMoves, coordinateMoves;
    std::vector<Position> before;  // the position before each move
};

const Line& OperaLine() {
    static const Line line = [] {
        Line l;
        l.standard = kOperaGame;
        MoveTextRecogniser recogniser;
        Position position;
        position.SetStartPosition();
        MoveWord moves[128];
        const int count = recogniser.ParseVariation(kOperaGame, position, moves, 128);
        std::string word;
        for (const char c : std::string(kOperaGame) + " ") {
            if (c != ' ') {
                word += c;
                continue;
            }
            const auto dot = word.rfind('.');
            l.standardMoves.push_back(dot == std::string::npos ? word : word.substr(dot + 1));
            word.clear();
        }
        for (int i = 0; i < count; ++i) {
            l.before.push_back(position);
            l.coordinateMoves.push_back(test::MoveName(moves[i]));
            l.coordinate += (i ? " " : "") + l.coordinateMoves.back();
            position.MakeMove(moves[i]);
        }
        return l;
    }();
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

void ParseMoves(benchmark::State& state, const std::vector<std::string>& texts) {
    const Line& line = OperaLine();
    if (static_cast<int>(line.before.size()) != kOperaPlies) state.SkipWithError("line not recognised");
    MoveTextRecogniser recogniser;
    MoveWord move = 0;
    for (auto _ : state)
        for (std::size_t i = 0; i < line.before.size(); ++i)
            benchmark::DoNotOptimize(recogniser.ParseMoveText(texts[i].c_str(), line.before[i], &move));
    CountMoves(state, kOperaPlies);
}

void BM_ParseMoveTextCoordinate(benchmark::State& state) { ParseMoves(state, OperaLine().coordinateMoves); }
void BM_ParseMoveTextStandard(benchmark::State& state) { ParseMoves(state, OperaLine().standardMoves); }
BENCHMARK(BM_ParseMoveTextCoordinate);
BENCHMARK(BM_ParseMoveTextStandard);

void ParseLine(benchmark::State& state, const std::string& text) {
    Position start;
    start.SetStartPosition();
    MoveTextRecogniser recogniser;
    MoveWord moves[128];
    int count = 0;
    for (auto _ : state) benchmark::DoNotOptimize(count = recogniser.ParseVariation(text.c_str(), start, moves, 128));
    if (count != kOperaPlies) state.SkipWithError("line not recognised");
    CountMoves(state, kOperaPlies);
}

void BM_ParseVariationCoordinate(benchmark::State& state) { ParseLine(state, OperaLine().coordinate); }
void BM_ParseVariationStandard(benchmark::State& state) { ParseLine(state, OperaLine().standard); }
BENCHMARK(BM_ParseVariationCoordinate);
BENCHMARK(BM_ParseVariationStandard);

// The game's own notation written back, checks and disambiguation included.
void BM_WriteSan(benchmark::State& state) {
    const Line& line = OperaLine();
    std::vector<MoveWord> moves;
    for (const std::string& text : line.coordinateMoves) moves.push_back(test::Move(text));
    char san[kSanTextSize];
    for (std::size_t i = 0; i < moves.size(); ++i) {
        WriteSan(line.before[i], moves[i], san);
        if (line.standardMoves[i] != san) state.SkipWithError("notation differs from the game's");
    }
    for (auto _ : state)
        for (std::size_t i = 0; i < moves.size(); ++i) benchmark::DoNotOptimize(WriteSan(line.before[i], moves[i], san));
    CountMoves(state, kOperaPlies);
}
BENCHMARK(BM_WriteSan);

}  // namespace
}  // namespace cecp
