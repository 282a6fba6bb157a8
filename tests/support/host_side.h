// The host's side of the module's interface, for tests: a Func3 that records
// every notification. On Linux it is linked into the test program, which
// exports it to the modules it loads; on Windows it is a stand-in Kalvo32.dll.
#pragma once

#include <cstdint>

#ifdef _WIN32
#ifdef CECP_BUILDING_HOST_SIDE
#define CECP_HOST_API __declspec(dllexport)
#else
#define CECP_HOST_API __declspec(dllimport)
#endif
#else
#define CECP_HOST_API __attribute__((visibility("default")))
#endif

struct HostNotification {
    std::uint32_t code;
    std::uint32_t param1;
    std::uint32_t param2;
    void* infoBlock;
    std::int64_t steadyNanoseconds;  // when it arrived, on the steady clock
};

extern "C" {
CECP_HOST_API int HostNotificationCount();
// The notification with that index, in the order they arrived.
CECP_HOST_API HostNotification HostNotificationAt(int index);
CECP_HOST_API void HostClearNotifications();
// Called with each notification after it is recorded, on the thread that
// sent it (null: none), as a host's handler would run.
CECP_HOST_API void HostSetNotificationHook(void (*hook)(std::uint32_t code, void* infoBlock));
}
