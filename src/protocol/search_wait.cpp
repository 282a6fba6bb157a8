#include "protocol/search_wait.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "engine/engine_process.h"
#include "protocol/search_state.h"

namespace cecp {
namespace {

// A counter of wake-ups under its mutex: a waiter that took its ticket before
// testing its condition cannot miss a wake-up that comes between the test and
// the wait.
struct Signal {
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t wakeups = 0;

    void Notify() {
        {
            std::lock_guard lock(mutex);
            ++wakeups;
        }
        changed.notify_all();
    }
    std::uint64_t Ticket() {
        std::lock_guard lock(mutex);
        return wakeups;
    }
    // False when milliseconds passed with no wake-up since ticket.
    bool Wait(std::uint64_t ticket, std::chrono::steady_clock::time_point until) {
        std::unique_lock lock(mutex);
        return changed.wait_until(lock, until, [&] { return wakeups != ticket; });
    }
};

Signal& MoveSignal() {
    static Signal signal;
    return signal;
}

Signal& EventSignal() {
    static Signal signal;
    return signal;
}

}  // namespace

void WakeSearch() {
    MoveSignal().Notify();
    EventSignal().Notify();
}

std::uint64_t MoveWaitTicket() { return MoveSignal().Ticket(); }

void WaitForMoveOrTimeout(std::uint64_t ticket, int milliseconds) {
    MoveSignal().Wait(ticket, std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds));
}

void NotifyEngineEvent() { EventSignal().Notify(); }

bool WaitForEngineEvent(bool (*done)(const void* context), const void* context, int milliseconds) {
    Signal& signal = EventSignal();
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        std::uint64_t ticket = signal.Ticket();
        if (done(context)) return true;
        if (g_engine.exited != 0 || g_search.engineOpen == 0) return false;
        if (!signal.Wait(ticket, until)) return done(context);
    }
}

std::int64_t SteadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace cecp
