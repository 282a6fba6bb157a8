#include "host_side.h"

#include <atomic>
#include <chrono>
#include <mutex>

#include "host/info_block.h"

namespace {

constexpr int kCapacity = 1 << 16;
std::mutex g_mutex;
HostNotification g_notifications[kCapacity];
int g_count = 0;
int g_dropped = 0;
std::atomic<void (*)(std::uint32_t, void*)> g_hook{nullptr};

}  // namespace

extern "C" {

// Notifications arrive on the reader thread as well as on the host's.
CECP_HOST_API std::int32_t CECP_CALL Func3(std::uint32_t code, std::uint32_t param1,
                                           std::uint32_t param2, void* infoBlock) {
    {
        std::lock_guard lock(g_mutex);
        if (g_count < kCapacity) {
            auto now = std::chrono::steady_clock::now().time_since_epoch();
            g_notifications[g_count++] = {code, param1, param2, infoBlock,
                                          std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()};
        } else {
            ++g_dropped;
        }
    }
    if (auto hook = g_hook.load()) hook(code, infoBlock);
    return 0;
}

int HostNotificationCount() {
    std::lock_guard lock(g_mutex);
    return g_count;
}

HostNotification HostNotificationAt(int index) {
    std::lock_guard lock(g_mutex);
    return index >= 0 && index < g_count ? g_notifications[index] : HostNotification{};
}

void HostClearNotifications() {
    std::lock_guard lock(g_mutex);
    g_count = 0;
    g_dropped = 0;
}

void HostSetNotificationHook(void (*hook)(std::uint32_t, void*)) { g_hook = hook; }

}  // extern "C"
