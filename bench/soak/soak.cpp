// A long run through the real module with the scripted test engine: many
// searches of every kind in many open/close cycles, in every dialect, and
// what the host process holds after the first cycle and at the end.
//
//   soak [--protocol classic|2|uci|all] [--searches N] [--cycles N] [--minutes M]
//        [--rss-tolerance-kb K]
//
// Each dialect (all three by default, one after another, through the same
// loaded module) runs its searches (1000 by default) spread over its cycles
// (20 by default), each cycle an open, its share of the searches and a
// close. They take turns: a timed search that the engine ends with its move;
// a ponder search that the host ends with Eng10 (the expected reply came);
// an analysis that the host ends with Eng3; a timed search cut short with
// Eng3 (move now); in protocol 2 and UCI also a ponder search that the host
// ends with Eng3 (the expected reply did not come). With --minutes M each
// dialect's cycles go on until M minutes (shared among the dialects) have
// passed.
//
// After a dialect's first cycle and at its end it counts open descriptors
// (handles on Windows), threads, resident memory and engine processes left.
// It exits non-zero when a search went wrong, when descriptors or threads
// differ at a dialect's end, when an engine process is left, or when resident
// memory grew by more than the tolerance (400 KB by default: the allocator's
// noise).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <unistd.h>

#include <fstream>
#endif

#include "host_side.h"
#include "installed_engine.h"
#include "protocol/search_request.h"

namespace {

using namespace cecp;
using namespace cecp::test;
namespace ib = info_block;
namespace sr = search_request;
using Clock = std::chrono::steady_clock;

// Every engine's thinking lines and moves are legal in the position each
// kind searches: timed and move-now after 1. e4 or 1. d4 (Black moves
// e7e5), ponder after 1. e4 e5 (White replies g1f3), analysis after 1. Nf3.

// The classic conversation ponders on the expected reply itself: it is told
// "ponder e7e5", then the reply.
constexpr const char* kClassicScript =
    "stat stat01: $c 1000 $d 12 30\n"
    "analyze 20 $d 7 $d 100 d7d5 c2c4\n"
    "on-line e7e5\n"
    "  think 2 5 $d 2$d 1 $d00 g1f3 b8c6\n"
    "  move g1f3\n"
    "at search\n"
    "  think 8 10 $d 1$d $d0 $d000 e7e5 g1f3\n"
    "  move e7e5\n";

// Protocol 2 searches the position after the expected reply with "go". The
// engine tells the sides apart by the clock it is given last: the ponder
// requests give White 200 s, the others Black 300 s. Its search then waits
// for "go" (and so answers ping at once, as a pondering engine does).
constexpr const char* kProtocol2Script =
    "stat stat01: $c 1000 $d 12 30\n"
    "analyze 20 $d 7 $d 100 d7d5 c2c4\n"
    "on protover\n"
    "  send feature ping=1 usermove=1 setboard=1 analyze=1 myname=\"soak\" done=1\n"
    "now ping\n"
    "  send pong $1\n"
    "on-line otim 20000\n"
    "  await go\n"
    "  think 2 5 $d 2$d 1 $d00 g1f3 b8c6\n"
    "  move g1f3\n"
    "on-line otim 30000\n"
    "  await go\n"
    "  think 8 10 $d 1$d $d0 $d000 e7e5 g1f3\n"
    "  move e7e5\n";

constexpr const char* kUciScript =
    "moveformat bestmove $m\n"
    "hurry stop\n"
    "on uci\n"
    "  send id name soak\n"
    "  send option name Ponder type check default false\n"
    "  send option name UCI_AnalyseMode type check default false\n"
    "  send uciok\n"
    "now isready\n"
    "  send readyok\n"
    "on go ponder\n"
    "  think 2 5 info depth $d score cp 2$d time $d pv g1f3 b8c6\n"
    "  await ponderhit stop\n"
    "  move g1f3 b8c6\n"
    "on go infinite\n"
    "  think 1000 20 info depth $d score cp 7 nodes $d00 pv d7d5 c2c4\n"
    "  await stop\n"
    "  move d7d5\n"
    "at search\n"
    "  think 8 10 info depth $d score cp 1$d time $d0 pv e7e5 g1f3\n"
    "  move e7e5 g1f3\n";

constexpr const char* kSupport = "[Support]\nAnalyzeMode=true\nPonderMode=true\n";

enum Kind { kTimed, kPonder, kAnalysis, kMoveNow, kPonderMiss, kKinds };
const char* const kKindNames[kKinds] = {"timed", "ponder", "analysis", "move-now", "ponder-miss"};

struct SoakDialect {
    const char* name;     // as --protocol names it
    const char* setting;  // the Protocol setting
    const char* script;
    int kinds;  // the first kinds of Kind that it searches
};

const SoakDialect kDialects[] = {
    {"classic", "", kClassicScript, kPonderMiss},
    {"2", "Protocol=2\n", kProtocol2Script, kKinds},
    {"uci", "Protocol=uci\n", kUciScript, kKinds},
};

MoveWord Square2(const char* move) {
    auto square = [](const char* s) { return (s[0] - 'a') + 8 * (s[1] - '1'); };
    return MakeMoveWord(square(move), square(move + 2));
}

struct Request {
    alignas(8) unsigned char bytes[sr::kEnd] = {};

    explicit Request(Kind kind) {
        StoreField<std::uint8_t>(bytes, sr::kStandardStart, 1);
        StoreField<std::uint8_t>(bytes, sr::kWhiteToMove, 1);
        const char* moves[2] = {"e2e4", nullptr};
        std::int16_t clock = kClockIncrement;
        switch (kind) {
        case kPonder:
        case kPonderMiss:
            moves[1] = "e7e5";
            StoreField<std::int16_t>(bytes, sr::kPonderRequest, 1);
            break;
        case kAnalysis: moves[0] = "g1f3"; clock = 1; break;
        case kMoveNow: moves[0] = "d2d4"; break;
        default: break;
        }
        int count = 0;
        for (const char* move : moves) {
            if (move != nullptr) StoreField<MoveWord>(bytes, sr::kMoves + 2 * count++, Square2(move));
        }
        StoreField<std::int16_t>(bytes, sr::kMoveCount, static_cast<std::int16_t>(count));
        StoreField<std::int16_t>(bytes, sr::kClockMode, clock);
        StoreField<std::int32_t>(bytes, sr::kTimeLeft, kind == kPonder || kind == kPonderMiss ? 200 : 300);
        StoreField<std::int32_t>(bytes, sr::kIncrement, 2);
    }
};

// When the run last made progress; a watchdog ends a run that hangs.
std::atomic<std::int64_t> g_progress{0};
std::atomic<bool> g_finished{false};
constexpr int kHangSeconds = 60;

std::int64_t NowMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

bool NotifiedSince(int first, std::uint32_t code) {
    for (int i = first; i < HostNotificationCount(); ++i) {
        if (HostNotificationAt(i).code == code) return true;
    }
    return false;
}

// Waits up to ten seconds for the notification.
bool WaitForNotification(std::uint32_t code) {
    for (int i = 0; i < 10000; ++i) {
        if (NotifiedSince(0, code)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

long ResidentKilobytes() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
    return static_cast<long>(counters.WorkingSetSize / 1024);
#else
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    if (!(statm >> size >> resident)) return -1;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
#endif
}

struct Figures {
    ProcessCounts counts;
    long residentKb = 0;
#ifdef _WIN32
    std::vector<std::uintptr_t> handles;  // the values that are open
#endif
};

#ifdef _WIN32
std::vector<std::uintptr_t> OpenHandles() {
    std::vector<std::uintptr_t> values;
    for (std::uintptr_t value = 4; value < (1u << 14); value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) values.push_back(value);
    }
    return values;
}

// The kernel's name for the handle's object type ("Event", "Semaphore" ...).
std::string ObjectTypeName(HANDLE handle) {
    using Query = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryObject")));
    alignas(8) unsigned char info[1024] = {};
    constexpr int kObjectTypeInformation = 2;
    if (query == nullptr || query(handle, kObjectTypeInformation, info, sizeof info, nullptr) < 0) return "unknown";
    // The information begins with the type name as a counted wide string.
    USHORT bytes = 0;
    const wchar_t* name = nullptr;
    std::memcpy(&bytes, info, sizeof bytes);
    std::memcpy(&name, info + sizeof(void*), sizeof name);
    std::string text;
    for (USHORT i = 0; name != nullptr && i < bytes / 2; ++i) text.push_back(static_cast<char>(name[i]));
    return text;
}
#endif

Figures Measure(const Figures* baseline) {
    Figures figures;
    figures.counts = baseline != nullptr ? SettledCounts(baseline->counts) : CountProcessResources();
    figures.residentKb = ResidentKilobytes();
#ifdef _WIN32
    figures.handles = OpenHandles();
#endif
    return figures;
}

// Names the handles open at the end that were not after the first cycle.
void ReportExtraHandles([[maybe_unused]] const Figures& first, [[maybe_unused]] const Figures& last) {
#ifdef _WIN32
    for (std::uintptr_t value : last.handles) {
        if (std::find(first.handles.begin(), first.handles.end(), value) != first.handles.end()) continue;
        HANDLE handle = reinterpret_cast<HANDLE>(value);
        DWORD type = GetFileType(handle);
        const char* kind = type == FILE_TYPE_PIPE ? "pipe" : type == FILE_TYPE_DISK ? "file" : type == FILE_TYPE_CHAR ? "console" : "other";
        DWORD pid = GetProcessId(handle), tid = GetThreadId(handle);
        std::printf("soak: handle %#llx open at the end (%s%s%s, object type %s)\n",
                    static_cast<unsigned long long>(value), kind, pid != 0 ? ", a process" : "",
                    tid != 0 ? ", a thread" : "", ObjectTypeName(handle).c_str());
    }
#endif
}

class Soak {
public:
    Soak(InstalledEngine* engine, const SoakDialect& dialect)
        : engine_(engine), api_(engine->api), dialect_(dialect) {}

    // One search of the kind; false (with a message) when it went wrong.
    bool Search(Kind kind) {
        Request request(kind);
        HostClearNotifications();
        StoreField<std::int16_t>(engine_->infoBlock, ib::kMainLineLength, 0);
        bool ok = true;
        if (kind == kTimed) {
            api_.Eng9(request.bytes);
        } else {
            std::thread search([&] { api_.Eng9(request.bytes); });
            // Ponder: Eng9 shows depth 1 once it has sent the ponder command.
            // Analysis and move-now: the first main line shows the engine thinks.
            bool ponder = kind == kPonder || kind == kPonderMiss;
            ok = WaitForNotification(ponder ? kNotifyDepth : kNotifyMainline);
            if (!ok) Fail(kind, "did not start");
            if (kind == kPonder) {
                api_.Eng10();
            } else {
                api_.Eng3();
            }
            search.join();
        }
        if (api_.Eng4() != 0) {
            Fail(kind, "returned still thinking");
            ok = false;
        }
        // The engine's move (or, for an analysis and a stopped search, the
        // last line shown before the stop) stands first in the main line. A
        // missed ponder search shows no move of its own: whatever it showed
        // is of the reply that did not come.
        if (kind != kPonderMiss) {
            const MoveWord expected = Square2(kind == kPonder ? "g1f3" : kind == kAnalysis ? "d7d5" : "e7e5");
            const int length = LoadField<std::int16_t>(engine_->infoBlock, ib::kMainLineLength);
            const MoveWord first = LoadField<MoveWord>(engine_->infoBlock, ib::kMainLine);
            if (length < 1 || first != expected) {
                std::fprintf(stderr,
                             "soak: %s: a %s search ended with main line length %d, first move %04x (not %04x)\n",
                             dialect_.name, kKindNames[kind], length, first, expected);
                ok = false;
            }
        }
        ++searches_[kind];
        g_progress = NowMilliseconds();
        return ok;
    }

    // Open, searches, close; false when anything went wrong.
    bool Cycle(int searches) {
        if (std::int32_t opened = engine_->Open(); opened != 0) {
            std::fprintf(stderr, "soak: %s: Eng1 answered %d\n", dialect_.name, opened);
            return false;
        }
        bool ok = true;
        for (int i = 0; i < searches; ++i) {
            if (!Search(static_cast<Kind>(next_++ % dialect_.kinds))) ok = false;
        }
        if (api_.Eng2() != 1) {
            std::fprintf(stderr, "soak: %s: Eng2 did not close the engine\n", dialect_.name);
            ok = false;
        }
        ++cycles_;
        g_progress = NowMilliseconds();
        return ok;
    }

    int cycles() const { return cycles_; }
    int searches(Kind kind) const { return searches_[kind]; }
    int searches() const {
        int all = 0;
        for (int count : searches_) all += count;
        return all;
    }

private:
    void Fail(Kind kind, const char* what) const {
        std::fprintf(stderr, "soak: %s: a %s search %s\n", dialect_.name, kKindNames[kind], what);
    }

    InstalledEngine* engine_;
    ModuleApi api_;
    const SoakDialect& dialect_;
    int next_ = 0;
    int cycles_ = 0;
    int searches_[kKinds] = {};
};

void PrintFigures(const char* when, const Figures& f) {
    std::printf("%-22s %11ld %8ld %12ld %8ld\n", when, f.counts.handles, f.counts.threads, f.residentKb,
                f.counts.children);
}

int Usage(int status) {
    std::printf(
        "usage: soak [--protocol classic|2|uci|all] [--searches N] [--cycles N] [--minutes M] "
        "[--rss-tolerance-kb K]\n");
    return status;
}

struct Settings {
    int searches = 1000;  // per dialect
    int cycles = 20;      // per dialect
    double minutes = 0;   // per dialect, when set
    long toleranceKb = 400;
};

// A dialect's searches and cycles; false when anything went wrong.
bool SoakDialectRun(InstalledEngine* engine, const SoakDialect& dialect, const Settings& settings) {
    // No transcript: an hour's commands would only fill the disk.
    WriteFile(engine->folder / "script.txt", dialect.script);
    WriteFile(engine->folder / "soak.init",
              std::string(kSupport) + "[Parameter]\nCommandLine=--script script.txt\n" + dialect.setting);
    const int perCycle = std::max(1, settings.searches / settings.cycles);
    const auto start = Clock::now();
    auto elapsedMinutes = [&] { return std::chrono::duration<double>(Clock::now() - start).count() / 60; };
    Soak soak(engine, dialect);
    bool ok = soak.Cycle(perCycle);
    const Figures first = Measure(nullptr);
    for (;;) {
        bool more = settings.minutes > 0 ? elapsedMinutes() < settings.minutes : soak.cycles() < settings.cycles;
        if (!more) break;
        if (!soak.Cycle(perCycle)) ok = false;
    }
    const Figures last = Measure(&first);

    std::printf("soak %s: %d searches (", dialect.name, soak.searches());
    for (int k = 0; k < dialect.kinds; ++k) {
        std::printf("%s%d %s", k ? ", " : "", soak.searches(static_cast<Kind>(k)), kKindNames[k]);
    }
    std::printf(") in %d open/close cycles, %.1f s\n", soak.cycles(), elapsedMinutes() * 60);
#ifdef _WIN32
    std::printf("%-22s %11s %8s %12s %8s\n", "", "handles", "threads", "resident KB", "engines");
#else
    std::printf("%-22s %11s %8s %12s %8s\n", "", "descriptors", "threads", "resident KB", "engines");
#endif
    PrintFigures("after the first cycle", first);
    PrintFigures("at the end", last);

    if (last.counts.handles != first.counts.handles) {
        std::printf("soak %s: %ld descriptors or handles more at the end\n", dialect.name,
                    last.counts.handles - first.counts.handles);
        ReportExtraHandles(first, last);
        ok = false;
    }
    if (last.counts.threads != first.counts.threads) {
        std::printf("soak %s: %ld threads more at the end\n", dialect.name, last.counts.threads - first.counts.threads);
        ok = false;
    }
    if (last.counts.children != 0) {
        std::printf("soak %s: an engine process is left\n", dialect.name);
        ok = false;
    }
    if (first.residentKb >= 0 && last.residentKb - first.residentKb > settings.toleranceKb) {
        std::printf("soak %s: resident memory grew by %ld KB (tolerance %ld KB)\n", dialect.name,
                    last.residentKb - first.residentKb, settings.toleranceKb);
        ok = false;
    }
    std::fflush(stdout);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    std::string protocol = "all";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool value = i + 1 < argc;
        if (arg == "--protocol" && value) {
            protocol = argv[++i];
        } else if (arg == "--searches" && value) {
            settings.searches = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--cycles" && value) {
            settings.cycles = std::max(2, std::atoi(argv[++i]));
        } else if (arg == "--minutes" && value) {
            settings.minutes = std::atof(argv[++i]);
        } else if (arg == "--rss-tolerance-kb" && value) {
            settings.toleranceKb = std::atol(argv[++i]);
        } else {
            return Usage(arg == "--help" ? 0 : 2);
        }
    }
    std::vector<const SoakDialect*> dialects;
    for (const SoakDialect& dialect : kDialects) {
        if (protocol == "all" || protocol == dialect.name) dialects.push_back(&dialect);
    }
    if (dialects.empty()) return Usage(2);
    settings.minutes /= static_cast<double>(dialects.size());

    InstalledEngine engine("soak");
    if (!engine.ready) {
        std::fprintf(stderr, "soak: cannot load the module: %s\n", engine.loaded.error().c_str());
        return 1;
    }
    engine.InstallExecutable();

    g_progress = NowMilliseconds();
    std::thread watchdog([] {
        while (!g_finished) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            if (NowMilliseconds() - g_progress > kHangSeconds * 1000) {
                std::fprintf(stderr, "soak: no progress for %d s: the run hangs\n", kHangSeconds);
                std::fflush(stderr);
                std::_Exit(3);
            }
        }
    });

    bool ok = true;
    for (const SoakDialect* dialect : dialects) {
        if (!SoakDialectRun(&engine, *dialect, settings)) ok = false;
    }
    g_finished = true;
    watchdog.join();
    std::printf("soak: %s\n", ok ? "passed" : "FAILED");
    return ok ? 0 : 1;
}
