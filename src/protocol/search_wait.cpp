#include "protocol/search_wait.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "host/adapter_state.h"

namespace cecp {
namespace {

// A counter of wake-ups under its mutex: a waiter that took its ticket before
// testing awaitingMove cannot miss a wake-up that comes between the test and
// the wait.
struct MoveSignal {
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t wakeups = 0;
};

MoveSignal& Signal() {
    static MoveSignal signal;
    return signal;
}

}  // namespace

void EndMoveWait() {
    g_state.awaitingMove = 0;
    MoveSignal& signal = Signal();
    {
        std::lock_guard lock(signal.mutex);
        ++signal.wakeups;
    }
    signal.changed.notify_all();
}

std::uint64_t MoveWaitTicket() {
    MoveSignal& signal = Signal();
    std::lock_guard lock(signal.mutex);
    return signal.wakeups;
}

void WaitForMoveOrTimeout(std::uint64_t ticket, int milliseconds) {
    MoveSignal& signal = Signal();
    std::unique_lock lock(signal.mutex);
    signal.changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                            [&] { return signal.wakeups != ticket; });
}

std::int64_t SteadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace cecp
