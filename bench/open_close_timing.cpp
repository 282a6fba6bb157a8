// How long Eng1 takes to return, and how long Eng2 takes with an engine that
// follows "quit" at once: the median of the open/close cycles (20 unless
// told) through the module, in each dialect, with the scripted test engine
// answering the greeting at once (protocol 2: its features with done=1; UCI:
// uciok, and readyok). Runs natively and under wine.
//
//   open_close_timing [--cycles N] [--protocol classic|2|uci|all] [--real stockfish|fairymax|fairy-stockfish|all]
//
// The classic conversation waits for no answer at the greeting: its Eng1
// returns before the engine has read a line, and its Eng2 holds the rest of
// the engine's start. The other dialects' Eng1 waits for the engine.
//
// --real times real engines instead (Linux only): stockfish in UCI, fairymax
// and fairy-stockfish in protocol 2.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "installed_engine.h"

using Clock = std::chrono::steady_clock;

namespace {

using cecp::test::InstalledEngine;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The engine is installed and configured; cycles of Eng1 and Eng2, the first
// not counted (it loads what the system caches).
int TimeCycles(InstalledEngine& engine, const char* label, int cycles) {
    std::vector<double> open, close;
    for (int i = 0; i < cycles + 1; ++i) {
        auto begin = Clock::now();
        if (engine.Open() != 0) {
            std::fprintf(stderr, "%s: Eng1 failed in cycle %d\n", label, i);
            engine.api.Eng2();
            return 1;
        }
        auto opened = Clock::now();
        engine.api.Eng2();
        auto closed = Clock::now();
        if (i == 0) continue;
        open.push_back(Ms(opened - begin));
        close.push_back(Ms(closed - opened));
    }
    auto [openMin, openMax] = std::minmax_element(open.begin(), open.end());
    auto [closeMin, closeMax] = std::minmax_element(close.begin(), close.end());
    std::printf("%s: %d cycles\n", label, cycles);
    std::printf("  Eng1 median %.2f ms (min %.2f, max %.2f)\n", Median(open), *openMin, *openMax);
    std::printf("  Eng2 median %.2f ms (min %.2f, max %.2f)\n", Median(close), *closeMin, *closeMax);
    return 0;
}

bool Chosen(const std::string& choice, const char* name) { return choice == "all" || choice == name; }

struct ScriptedCase {
    const char* protocol;
    const char* label;
    const char* script;
    const char* parameters;  // of the settings' section Parameter
};

constexpr ScriptedCase kScriptedCases[] = {
    {"classic", "classic", "", ""},
    {"2", "protocol 2", "on protover\n  send feature ping=1 usermove=1 done=1\non ping\n  send pong $1\n",
     "Protocol=2\n"},
    {"uci", "UCI",
     "on uci\n  send id name testengine\n  send uciok\nnow isready\n  send readyok\n",
     "Protocol=uci\n"},
};

int TimeScripted(const ScriptedCase& scripted, int cycles) {
    InstalledEngine engine("timing");
    if (!engine.ready) {
        std::fprintf(stderr, "the module could not be loaded\n");
        return 1;
    }
    engine.InstallExecutable();
    engine.Configure(scripted.script, scripted.parameters);
    return TimeCycles(engine, scripted.label, cycles);
}

struct RealCase {
    const char* name;
    const char* label;
    const char* program;
    const char* settings;
};

constexpr RealCase kRealCases[] = {
    {"stockfish", "stockfish, UCI", "/usr/games/stockfish", "[Parameter]\nProtocol=uci\n"},
    {"fairymax", "fairymax, protocol 2", "/usr/games/fairymax", "[Parameter]\nProtocol=2\n"},
    {"fairy-stockfish", "fairy-stockfish, protocol 2", "/usr/games/fairy-stockfish", "[Parameter]\nProtocol=2\n"},
};

#ifndef _WIN32
int TimeReal(const RealCase& real, int cycles) {
    if (!std::filesystem::exists(real.program)) {
        std::printf("%s: skipped (%s missing)\n", real.label, real.program);
        return 0;
    }
    InstalledEngine engine("timing");
    if (!engine.ready) {
        std::fprintf(stderr, "the module could not be loaded\n");
        return 1;
    }
    std::filesystem::create_symlink(real.program, engine.folder / "timing");
    cecp::test::WriteFile(engine.folder / "timing.init", real.settings);
    return TimeCycles(engine, real.label, cycles);
}
#endif

bool KnownReal(const std::string& name) {
    return name == "all" || std::any_of(std::begin(kRealCases), std::end(kRealCases),
                                        [&](const RealCase& real) { return name == real.name; });
}

}  // namespace

int main(int argc, char** argv) {
    int cycles = 20;
    std::string protocol = "all", real;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value = i + 1 < argc ? argv[i + 1] : "";
        if (arg == "--cycles" && std::atoi(value.c_str()) > 0) {
            cycles = std::atoi(argv[++i]);
        } else if (std::atoi(arg.c_str()) > 0) {
            cycles = std::atoi(arg.c_str());  // the count alone, as the tool first took it
        } else if (arg == "--protocol" && (value == "all" || value == "classic" || value == "2" || value == "uci")) {
            protocol = argv[++i];
        } else if (arg == "--real" && KnownReal(value)) {
            real = argv[++i];
        } else {
            std::printf("usage: open_close_timing [--cycles N] [--protocol classic|2|uci|all]\n"
                        "                         [--real stockfish|fairymax|fairy-stockfish|all]\n");
            return arg == "--help" ? 0 : 2;
        }
    }
    if (!real.empty()) {
#ifdef _WIN32
        std::printf("real engines: timed on Linux only\n");
        return 0;
#else
        for (const RealCase& engine : kRealCases) {
            if (!Chosen(real, engine.name)) continue;
            if (int status = TimeReal(engine, cycles)) return status;
        }
        return 0;
#endif
    }
    for (const ScriptedCase& scripted : kScriptedCases) {
        if (!Chosen(protocol, scripted.protocol)) continue;
        if (int status = TimeScripted(scripted, cycles)) return status;
    }
    return 0;
}
