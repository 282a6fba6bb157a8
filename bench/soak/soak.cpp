// A long run through the real module with the scripted test engine: many
// searches of every kind in many open/close cycles, and what the host process
// holds after the first cycle and at the end.
//
//   soak [--searches N] [--cycles N] [--minutes M] [--rss-tolerance-kb K]
//
// The searches (1000 by default) are spread over the cycles (20 by default),
// each cycle an open, its share of the searches and a close. They take turns:
// a timed search that the engine ends with its move; a ponder search that
// the host ends with Eng10 (the expected reply came); an analysis that the
// host ends with Eng3; a timed search cut short with Eng3 (move now). With
// --minutes M the cycles go on until M minutes have passed.
//
// After the first cycle and at the end it counts open descriptors (handles on
// Windows), threads, resident memory and engine processes left. It exits
// non-zero when a search went wrong, when descriptors or threads differ at
// the end, when an engine process is left, or when resident memory grew by
// more than the tolerance (400 KB by default: the allocator's noise).
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

// Thinking lines and moves are legal in the position each kind searches:
// timed and move-now after 1. e4 or 1. d4 (Black moves e7e5), ponder after
// 1. e4 e5 (White replies g1f3), analysis after 1. Nf3.
constexpr const char* kScript =
    "stat stat01: $c 1000 $d 12 30\n"
    "analyze 20 $d 7 $d 100 d7d5 c2c4\n"
    "on-line e7e5\n"
    "  think 2 5 $d 2$d 1 $d00 g1f3 b8c6\n"
    "  move g1f3\n"
    "at search\n"
    "  think 8 10 $d 1$d $d0 $d000 e7e5 g1f3\n"
    "  move e7e5\n";

constexpr const char* kSupport = "[Support]\nAnalyzeMode=true\nPonderMode=true\n";

enum Kind { kTimed, kPonder, kAnalysis, kMoveNow, kKinds };
const char* const kKindNames[kKinds] = {"timed", "ponder", "analysis", "move-now"};

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
        case kPonder: moves[1] = "e7e5"; StoreField<std::int16_t>(bytes, sr::kPonderRequest, 1); break;
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
        StoreField<std::int32_t>(bytes, sr::kTimeLeft, 300);
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
    explicit Soak(InstalledEngine* engine) : engine_(engine), api_(engine->api) {}

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
            std::uint32_t started = kind == kPonder ? kNotifyDepth : kNotifyMainline;
            ok = WaitForNotification(started);
            if (!ok) std::fprintf(stderr, "soak: a %s search did not start\n", kKindNames[kind]);
            if (kind == kPonder) {
                api_.Eng10();
            } else {
                api_.Eng3();
            }
            search.join();
        }
        if (api_.Eng4() != 0) {
            std::fprintf(stderr, "soak: Eng9 returned from a %s search still thinking\n", kKindNames[kind]);
            ok = false;
        }
        // The engine's move (or, for an analysis and a stopped search, the
        // last line shown before the stop) stands first in the main line.
        const MoveWord expected = Square2(kind == kPonder ? "g1f3" : kind == kAnalysis ? "d7d5" : "e7e5");
        const int length = LoadField<std::int16_t>(engine_->infoBlock, ib::kMainLineLength);
        const MoveWord first = LoadField<MoveWord>(engine_->infoBlock, ib::kMainLine);
        if (length < 1 || first != expected) {
            std::fprintf(stderr, "soak: a %s search ended with main line length %d, first move %04x (not %04x)\n",
                         kKindNames[kind], length, first, expected);
            ok = false;
        }
        ++searches_[kind];
        g_progress = NowMilliseconds();
        return ok;
    }

    // Open, searches, close; false when anything went wrong.
    bool Cycle(int searches) {
        if (std::int32_t opened = engine_->Open(); opened != 0) {
            std::fprintf(stderr, "soak: Eng1 answered %d\n", opened);
            return false;
        }
        bool ok = true;
        for (int i = 0; i < searches; ++i) {
            if (!Search(static_cast<Kind>(next_++ % kKinds))) ok = false;
        }
        if (api_.Eng2() != 1) {
            std::fprintf(stderr, "soak: Eng2 did not close the engine\n");
            ok = false;
        }
        ++cycles_;
        g_progress = NowMilliseconds();
        return ok;
    }

    int cycles() const { return cycles_; }
    int searches(Kind kind) const { return searches_[kind]; }
    int searches() const { return searches_[0] + searches_[1] + searches_[2] + searches_[3]; }

private:
    InstalledEngine* engine_;
    ModuleApi api_;
    int next_ = 0;
    int cycles_ = 0;
    int searches_[kKinds] = {};
};

void PrintFigures(const char* when, const Figures& f) {
    std::printf("%-22s %11ld %8ld %12ld %8ld\n", when, f.counts.handles, f.counts.threads, f.residentKb,
                f.counts.children);
}

int Usage(int status) {
    std::printf("usage: soak [--searches N] [--cycles N] [--minutes M] [--rss-tolerance-kb K]\n");
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    int searches = 1000, cycles = 20;
    double minutes = 0;
    long toleranceKb = 400;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool value = i + 1 < argc;
        if (arg == "--searches" && value) {
            searches = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--cycles" && value) {
            cycles = std::max(2, std::atoi(argv[++i]));
        } else if (arg == "--minutes" && value) {
            minutes = std::atof(argv[++i]);
        } else if (arg == "--rss-tolerance-kb" && value) {
            toleranceKb = std::atol(argv[++i]);
        } else {
            return Usage(arg == "--help" ? 0 : 2);
        }
    }
    const int perCycle = std::max(1, searches / cycles);

    InstalledEngine engine("soak");
    if (!engine.ready) {
        std::fprintf(stderr, "soak: cannot load the module: %s\n", engine.loaded.error().c_str());
        return 1;
    }
    engine.InstallExecutable();
    // No transcript: an hour's commands would only fill the disk.
    WriteFile(engine.folder / "script.txt", kScript);
    WriteFile(engine.folder / "soak.init", std::string(kSupport) + "[Parameter]\nCommandLine=--script script.txt\n");

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

    const auto start = Clock::now();
    auto elapsedMinutes = [&] { return std::chrono::duration<double>(Clock::now() - start).count() / 60; };
    Soak soak(&engine);
    bool ok = soak.Cycle(perCycle);
    const Figures first = Measure(nullptr);
    for (;;) {
        bool more = minutes > 0 ? elapsedMinutes() < minutes : soak.cycles() < cycles;
        if (!more) break;
        if (!soak.Cycle(perCycle)) ok = false;
    }
    const Figures last = Measure(&first);
    g_finished = true;
    watchdog.join();

    std::printf("soak: %d searches (", soak.searches());
    for (int k = 0; k < kKinds; ++k) {
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
        std::printf("soak: %ld descriptors or handles more at the end\n", last.counts.handles - first.counts.handles);
        ReportExtraHandles(first, last);
        ok = false;
    }
    if (last.counts.threads != first.counts.threads) {
        std::printf("soak: %ld threads more at the end\n", last.counts.threads - first.counts.threads);
        ok = false;
    }
    if (last.counts.children != 0) {
        std::printf("soak: an engine process is left\n");
        ok = false;
    }
    if (first.residentKb >= 0 && last.residentKb - first.residentKb > toleranceKb) {
        std::printf("soak: resident memory grew by %ld KB (tolerance %ld KB)\n", last.residentKb - first.residentKb,
                    toleranceKb);
        ok = false;
    }
    std::printf("soak: %s\n", ok ? "passed" : "FAILED");
    return ok ? 0 : 1;
}
