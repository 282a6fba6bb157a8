// How quickly a search ends once the engine has moved, and what the module
// costs while a real engine analyses, in each dialect.
//
//   search_latency [--protocol classic|2|uci|all] [--searches N] [--analysis-seconds S]
//
// Latency: N searches with the scripted engine answering the search at once,
// in the dialects chosen (protocol 2 with ping and without, as the engine
// announces it; UCI answering "go" with "bestmove"); for each, the time from
// the notification of the engine's move (the reader has read and interpreted
// the move line) to Eng9's return, and Eng9's whole round trip (all commands
// out, the engine's answer back). A first search, which also starts the game
// (UCI: "ucinewgame" and "isready"), is not counted.
//
// Load: the host process's own processor time, as a share of one core, while
// a real engine analyses for S seconds (Linux only; 0 skips it): stockfish
// behind polyglot in the classic conversation, fairy-stockfish in protocol 2,
// stockfish in UCI (which names every root move it searches once it has
// searched for a few seconds).
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

// A scripted engine in one dialect; protocol is the value of --protocol that
// selects it.
struct ScriptedCase {
    const char* protocol;
    const char* label;
    const char* script;
    const char* parameters;  // of the settings' section Parameter
};

constexpr ScriptedCase kScriptedCases[] = {
    {"classic", "classic", "at search\n  move e7e5\n", ""},
    {"2", "protocol 2, ping=1",
     "on protover\n  send feature ping=1 usermove=1 done=1\non ping\n  send pong $1\nat search\n  move e7e5\n",
     "Protocol=2\n"},
    {"2", "protocol 2 without ping", "on protover\n  send feature usermove=1 done=1\nat search\n  move e7e5\n",
     "Protocol=2\n"},
    {"uci", "UCI",
     "moveformat bestmove $m\nhurry stop\non uci\n  send id name testengine\n  send uciok\n"
     "now isready\n  send readyok\nat search\n  move e7e5\n",
     "Protocol=uci\n"},
};

bool Chosen(const std::string& choice, const char* protocol) { return choice == "all" || choice == protocol; }

// The time of the notification of the engine's move, or 0 when none came.
std::int64_t MoveNotifiedAt() {
    std::int64_t moved = 0;
    for (int n = 0; n < HostNotificationCount(); ++n) {
        if (HostNotificationAt(n).code == kNotifyMainline) moved = HostNotificationAt(n).steadyNanoseconds;
    }
    return moved;
}

int MeasureLatency(const ScriptedCase& scripted, int searches) {
    InstalledEngine engine("latency");
    if (!engine.ready) {
        std::fprintf(stderr, "search_latency: cannot load the module\n");
        return 1;
    }
    engine.InstallExecutable();
    engine.Configure(scripted.script, scripted.parameters);
    if (engine.Open() != 0) {
        std::fprintf(stderr, "search_latency: the test engine did not start (%s)\n", scripted.label);
        return 1;
    }
    unsigned char request[search_request::kEnd];
    FillRequest(request);
    std::vector<double> afterMove, roundTrip;
    for (int i = 0; i <= searches; ++i) {
        HostClearNotifications();
        std::int64_t start = NowNanoseconds();
        engine.api.Eng9(request);
        std::int64_t end = NowNanoseconds();
        std::int64_t moved = MoveNotifiedAt();
        if (moved == 0) {
            std::fprintf(stderr, "search_latency: search %d ended without the engine's move (%s)\n", i,
                         scripted.label);
            engine.api.Eng2();
            return 1;
        }
        if (i == 0) continue;
        afterMove.push_back(static_cast<double>(end - moved) / 1e6);
        roundTrip.push_back(static_cast<double>(end - start) / 1e6);
    }
    engine.api.Eng2();
    Percentiles a = Summarise(afterMove), r = Summarise(roundTrip);
    std::printf("%s: %d searches\n", scripted.label, searches);
    std::printf("  move interpreted -> Eng9 returns: median %.3f ms, p99 %.3f ms, max %.3f ms\n", a.median, a.p99,
                a.max);
    std::printf("  Eng9 round trip:                  median %.3f ms, p99 %.3f ms, max %.3f ms\n", r.median, r.p99,
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

// A real engine installed as the module's engine: the program (linked in as
// the engine's executable), a file beside it, and the settings.
struct RealCase {
    const char* protocol;
    const char* label;
    const char* program;
    const char* otherProgram;  // that the engine runs, or null
    const char* fileName;      // written beside the engine, or null
    const char* fileText;
    const char* settings;
};

constexpr RealCase kRealCases[] = {
    {"classic", "stockfish behind polyglot, classic", "/usr/games/polyglot", "/usr/games/stockfish", "stockfish.ini",
     "[PolyGlot]\nEngineCommand = /usr/games/stockfish\nEngineDir = .\n[Engine]\n",
     "[Support]\nAnalyzeMode=true\n[Parameter]\nCommandLine=stockfish.ini\n"},
    {"2", "fairy-stockfish, protocol 2", "/usr/games/fairy-stockfish", nullptr, nullptr, nullptr,
     "[Support]\nAnalyzeMode=true\n[Parameter]\nProtocol=2\n"},
    {"uci", "stockfish, UCI", "/usr/games/stockfish", nullptr, nullptr, nullptr,
     "[Support]\nAnalyzeMode=true\n[Parameter]\nProtocol=uci\n"},
};

int CountNotifications(std::uint32_t code) {
    int count = 0;
    for (int n = 0; n < HostNotificationCount(); ++n) count += HostNotificationAt(n).code == code ? 1 : 0;
    return count;
}

int MeasureAnalysisLoad(const RealCase& real, int seconds) {
    if (!std::filesystem::exists(real.program) ||
        (real.otherProgram != nullptr && !std::filesystem::exists(real.otherProgram))) {
        std::printf("analysis load, %s: skipped (%s%s%s missing)\n", real.label, real.program,
                    real.otherProgram != nullptr ? " or " : "", real.otherProgram != nullptr ? real.otherProgram : "");
        return 0;
    }
    InstalledEngine engine("load");
    std::filesystem::create_symlink(real.program, engine.folder / "load");
    if (real.fileName != nullptr) WriteFile(engine.folder / real.fileName, real.fileText);
    WriteFile(engine.folder / "load.init", real.settings);
    if (engine.Open() != 0) {
        std::fprintf(stderr, "search_latency: %s did not open\n", real.label);
        return 1;
    }
    unsigned char request[search_request::kEnd];
    FillRequest(request);
    StoreField<std::int16_t>(request, search_request::kClockMode, 1);  // no clock: an analysis
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
    std::printf("analysis load, %s: %d notifications (%d main lines, %d current moves) in %.1f s,\n"
                "  host process used %.3f s of processor: %.2f%% of a core\n",
                real.label, HostNotificationCount(), CountNotifications(kNotifyMainline),
                CountNotifications(kNotifyCurrentMove), wall, used, 100.0 * used / wall);
    return 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    int searches = 200, analysisSeconds = 10;
    std::string protocol = "all";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--searches" && i + 1 < argc) {
            searches = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--analysis-seconds" && i + 1 < argc) {
            analysisSeconds = std::atoi(argv[++i]);
        } else if (arg == "--protocol" && i + 1 < argc &&
                   (Chosen(argv[i + 1], "classic") || Chosen(argv[i + 1], "2") || Chosen(argv[i + 1], "uci"))) {
            protocol = argv[++i];
        } else {
            std::printf("usage: search_latency [--protocol classic|2|uci|all] [--searches N] [--analysis-seconds S]\n");
            return arg == "--help" ? 0 : 2;
        }
    }
    for (const ScriptedCase& scripted : kScriptedCases) {
        if (!Chosen(protocol, scripted.protocol)) continue;
        if (int status = MeasureLatency(scripted, searches)) return status;
    }
    if (analysisSeconds <= 0) return 0;
#ifndef _WIN32
    for (const RealCase& real : kRealCases) {
        if (!Chosen(protocol, real.protocol)) continue;
        if (int status = MeasureAnalysisLoad(real, analysisSeconds)) return status;
    }
#else
    std::printf("analysis load: measured on Linux only\n");
#endif
    return 0;
}
