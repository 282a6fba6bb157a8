// How quickly a search ends once the engine has moved, and what the module
// costs while a real engine analyses.
//
//   search_latency [--searches N] [--analysis-seconds S]
//
// Latency: N searches with the scripted engine answering "go" at once; for
// each, the time from the notification of the engine's move (the reader has
// read and interpreted the move line) to Eng9's return, and Eng9's whole
// round trip (all commands out, the engine's answer back). Load: the host
// process's own processor time while stockfish behind polyglot analyses for
// S seconds (Linux only; 0 skips it), as a share of one core.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "host_side.h"
#include "installed_engine.h"
#include "protocol/search_request.h"

namespace {

using namespace cecp;
using namespace cecp::test;
using Clock = std::chrono::steady_clock;

std::int64_t NowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

struct Percentiles {
    double median, p99, max;
};

Percentiles Summarise(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    auto at = [&](double q) { return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1))]; };
    return {at(0.5), at(0.99), values.back()};
}

void FillRequest(unsigned char* request) {
    std::memset(request, 0, search_request::kEnd);
    StoreField<std::uint8_t>(request, search_request::kStandardStart, 1);
    StoreField<std::int16_t>(request, search_request::kClockMode, kClockIncrement);
    StoreField<std::int32_t>(request, search_request::kTimeLeft, 600);
    StoreField<std::int16_t>(request, search_request::kMoveCount, 1);
    StoreField<MoveWord>(request, search_request::kMoves, MakeMoveWord(12, 28));  // e2e4
}

int MeasureLatency(int searches) {
    InstalledEngine engine("latency");
    if (!engine.ready) {
        std::fprintf(stderr, "search_latency: cannot load the module\n");
        return 1;
    }
    engine.InstallExecutable();
    engine.Configure("at search\n  move e7e5\n");
    if (engine.Open() != 0) {
        std::fprintf(stderr, "search_latency: the test engine did not start\n");
        return 1;
    }
    unsigned char request[search_request::kEnd];
    FillRequest(request);
    std::vector<double> afterMove, roundTrip;
    for (int i = 0; i < searches; ++i) {
        HostClearNotifications();
        std::int64_t start = NowNanoseconds();
        engine.api.Eng9(request);
        std::int64_t end = NowNanoseconds();
        std::int64_t moved = 0;
        for (int n = 0; n < HostNotificationCount(); ++n) {
            if (HostNotificationAt(n).code == kNotifyMainline) moved = HostNotificationAt(n).steadyNanoseconds;
        }
        if (moved == 0) {
            std::fprintf(stderr, "search_latency: search %d ended without the engine's move\n", i);
            return 1;
        }
        afterMove.push_back(static_cast<double>(end - moved) / 1e6);
        roundTrip.push_back(static_cast<double>(end - start) / 1e6);
    }
    engine.api.Eng2();
    Percentiles a = Summarise(afterMove), r = Summarise(roundTrip);
    std::printf("searches: %d\n", searches);
    std::printf("move interpreted -> Eng9 returns: median %.3f ms, p99 %.3f ms, max %.3f ms\n", a.median, a.p99,
                a.max);
    std::printf("Eng9 round trip:                  median %.3f ms, p99 %.3f ms, max %.3f ms\n", r.median, r.p99,
                r.max);
    return 0;
}

#ifndef _WIN32
double ProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int MeasureAnalysisLoad(int seconds) {
    if (!std::filesystem::exists("/usr/games/stockfish") || !std::filesystem::exists("/usr/games/polyglot")) {
        std::printf("analysis load: skipped (stockfish or polyglot missing)\n");
        return 0;
    }
    InstalledEngine engine("load");
    std::filesystem::create_symlink("/usr/games/polyglot", engine.folder / "load");
    WriteFile(engine.folder / "stockfish.ini",
              "[PolyGlot]\nEngineCommand = /usr/games/stockfish\nEngineDir = .\n[Engine]\n");
    WriteFile(engine.folder / "load.init", "[Support]\nAnalyzeMode=true\n[Parameter]\nCommandLine=stockfish.ini\n");
    if (engine.Open() != 0) return 1;
    unsigned char request[search_request::kEnd];
    FillRequest(request);
    StoreField<std::int16_t>(request, search_request::kClockMode, 1);
    HostClearNotifications();
    double before = ProcessorSeconds();
    auto start = Clock::now();
    std::thread search([&] { engine.api.Eng9(request); });
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    engine.api.Eng3();
    search.join();
    double wall = std::chrono::duration<double>(Clock::now() - start).count();
    double used = ProcessorSeconds() - before;
    engine.api.Eng2();
    std::printf("analysis load: %d notifications in %.1f s, host process used %.3f s of processor: %.2f%% of a core\n",
                HostNotificationCount(), wall, used, 100.0 * used / wall);
    return 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    int searches = 200, analysisSeconds = 10;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--searches" && i + 1 < argc) {
            searches = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--analysis-seconds" && i + 1 < argc) {
            analysisSeconds = std::atoi(argv[++i]);
        } else {
            std::printf("usage: search_latency [--searches N] [--analysis-seconds S]\n");
            return arg == "--help" ? 0 : 2;
        }
    }
    if (int status = MeasureLatency(searches)) return status;
#ifndef _WIN32
    if (analysisSeconds > 0) return MeasureAnalysisLoad(analysisSeconds);
#else
    if (analysisSeconds > 0) std::printf("analysis load: measured on Linux only\n");
#endif
    return 0;
}
