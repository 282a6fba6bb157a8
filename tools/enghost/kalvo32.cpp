// enghost's stand-in for the host library Kalvo32.dll: the modules import
// Func3 from it, and it hands every notification to the callback that
// enghost registered.
#include <atomic>
#include <cstdint>

using Notifier = void(__cdecl*)(std::uint32_t, std::uint32_t, std::uint32_t, void*);

namespace {
std::atomic<Notifier> g_notifier{nullptr};
}

extern "C" {

__declspec(dllexport) std::int32_t __cdecl Func3(std::uint32_t code, std::uint32_t param1, std::uint32_t param2,
                                                 void* infoBlock) {
    Notifier notifier = g_notifier.load();
    if (notifier != nullptr) notifier(code, param1, param2, infoBlock);
    return 0;
}

__declspec(dllexport) void __cdecl EnghostSetNotifier(Notifier notifier) { g_notifier.store(notifier); }

}
