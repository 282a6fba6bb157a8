#include "installed_engine.h"

#include <cctype>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <tlhelp32.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace cecp::test {

fs::path TestEnginePath() {
#ifdef _WIN32
    return ProgramFolder() / "testengine.exe";
#else
    return ProgramFolder() / "testengine";
#endif
}

InstalledEngine::InstalledEngine(const std::string& engineName)
    : name(engineName),
      module(InstallModule(scratch.path(), engineName + ".eng")),
      folder(scratch.path() / "engines" / engineName),
      loaded(module) {
    std::string missing;
    ready = loaded.loaded() && api.Resolve(loaded, &missing);
}

void InstalledEngine::InstallExecutable() const {
    fs::copy_file(TestEnginePath(), folder / (name + TestEnginePath().extension().string()),
                  fs::copy_options::overwrite_existing);
}

void InstalledEngine::Configure(const std::string& script, const std::string& parameters,
                                const std::string& extraArguments) const {
    WriteFile(folder / "script.txt", script);
    std::string settings = "[Parameter]\nCommandLine=--script script.txt --transcript transcript.txt";
    if (!extraArguments.empty()) settings += " " + extraArguments;
    settings += "\n" + parameters;
    WriteFile(folder / (name + ".init"), settings);
}

#ifdef _WIN32
namespace {

// wine's GetProcessHandleCount answers 0 whatever is open; the system's list
// of all handles tells the truth there.
struct SystemHandle {
    USHORT processId;
    USHORT creatorBackTraceIndex;
    UCHAR objectTypeIndex;
    UCHAR handleAttributes;
    USHORT handleValue;
    PVOID object;
    ULONG grantedAccess;
};

long HandlesFromSystemList() {
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) return 0;
    std::vector<unsigned char> buffer(1 << 20);
    ULONG needed = 0;
    constexpr ULONG kSystemHandleInformation = 16;
    while (query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) != 0) {
        if (buffer.size() >= (1u << 26)) return 0;
        buffer.resize(buffer.size() * 2);
    }
    ULONG count = *reinterpret_cast<ULONG*>(buffer.data());
    auto* entries = reinterpret_cast<SystemHandle*>(buffer.data() + sizeof(ULONG_PTR));
    long mine = 0;
    for (ULONG i = 0; i < count; ++i) {
        if (entries[i].processId == static_cast<USHORT>(GetCurrentProcessId())) ++mine;
    }
    return mine;
}

}  // namespace
#endif

ProcessCounts CountProcessResources() {
    ProcessCounts counts;
#ifdef _WIN32
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    counts.handles = static_cast<long>(handles);
    if (counts.handles == 0) counts.handles = HandlesFromSystemList();
    DWORD self = GetCurrentProcessId();
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        THREADENTRY32 thread{};
        thread.dwSize = sizeof thread;
        for (BOOL more = Thread32First(snapshot, &thread); more; more = Thread32Next(snapshot, &thread)) {
            if (thread.th32OwnerProcessID == self) ++counts.threads;
        }
        PROCESSENTRY32 process{};
        process.dwSize = sizeof process;
        for (BOOL more = Process32First(snapshot, &process); more; more = Process32Next(snapshot, &process)) {
            // wine starts its console host for a console and its desktop
            // process for a message box as children of the program.
            std::string name = process.szExeFile;
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            bool helper = name.ends_with("conhost.exe") || name.ends_with("explorer.exe");
            if (process.th32ParentProcessID == self && !helper) ++counts.children;
        }
        CloseHandle(snapshot);
    }
#else
    for ([[maybe_unused]] auto& entry : fs::directory_iterator("/proc/self/fd")) ++counts.handles;
    --counts.handles;  // the iterator's own descriptor
    for ([[maybe_unused]] auto& entry : fs::directory_iterator("/proc/self/task")) ++counts.threads;
    // Any child, running or a zombie, makes waitid answer; none gives ECHILD.
    siginfo_t info{};
    counts.children = waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 ? 1 : 0;
#endif
    return counts;
}

ProcessCounts SettledCounts(const ProcessCounts& before, bool handlesToo) {
    // Wine ends a child's handles and threads in the parent some time after
    // the child, later still on a busy machine; its count of them is slow.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    ProcessCounts now = CountProcessResources();
    while (((handlesToo && now.handles > before.handles) || now.threads > before.threads || now.children > before.children) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        now = CountProcessResources();
    }
    return now;
}

}  // namespace cecp::test
