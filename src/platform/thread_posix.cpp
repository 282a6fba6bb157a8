#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "platform/thread.h"

namespace cecp::platform {
namespace {

struct Start {
    ThreadBody body;
    void* argument;
};

void* Run(void* raw) {
    Start start = *static_cast<Start*>(raw);
    delete static_cast<Start*>(raw);
    start.body(start.argument);
    return nullptr;
}

}  // namespace

Handle StartThread(ThreadBody body, void* argument, std::size_t stackSize, int* error) {
    *error = 0;
    auto* start = new (std::nothrow) Start{body, argument};
    if (start == nullptr) {
        *error = ENOMEM;
        return kNoThread;
    }
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    // Below the system's minimum (which counts the thread's static TLS) the
    // minimum is used instead.
    long minimum = sysconf(_SC_THREAD_STACK_MIN);
    if (minimum > 0 && stackSize < static_cast<std::size_t>(minimum)) stackSize = static_cast<std::size_t>(minimum);
    pthread_attr_setstacksize(&attributes, stackSize);
    pthread_t thread{};
    int result = pthread_create(&thread, &attributes, Run, start);
    pthread_attr_destroy(&attributes);
    if (result != 0) {
        delete start;
        *error = result;
        return kNoThread;
    }
    static_assert(sizeof(pthread_t) <= sizeof(Handle));
    return static_cast<Handle>(thread);
}

void JoinThread(Handle thread) {
    if (thread != kNoThread) pthread_join(static_cast<pthread_t>(thread), nullptr);
}

void LowerThreadPriority() {
    // Linux keeps niceness per thread: PRIO_PROCESS with the thread's id.
    id_t self = static_cast<id_t>(gettid());
    errno = 0;
    int now = getpriority(PRIO_PROCESS, self);
    if (errno == 0) setpriority(PRIO_PROCESS, self, now + 1);
}

void SleepMilliseconds(int milliseconds) {
    timespec left{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void YieldTimeSlice() { sched_yield(); }

}  // namespace cecp::platform
