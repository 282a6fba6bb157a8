#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "interrupt.h"

namespace enghost {

namespace {

std::atomic<int> g_interrupted{0};

// The signals are taken by a thread of their own with sigwait rather than
// by a handler: no other thread is ever interrupted in a system call, and
// what the thread does needs no care for async-signal safety.
void AwaitSignals(sigset_t signals) {
    for (;;) {
        int signal = 0;
        if (sigwait(&signals, &signal) != 0) continue;
        if (g_interrupted.exchange(1) != 0) {
            // The second: the default action, at once.
            ::signal(signal, SIG_DFL);
            pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
            raise(signal);
            continue;
        }
        static const char message[] =
            "\nenghost: stopping: every engine is being closed (Ctrl-C again ends at once)\n";
        ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
        (void)ignored;
    }
}

}  // namespace

void InstallInterruptHandler() {
    static std::atomic<bool> installed{false};
    if (installed.exchange(true)) return;
    // Blocked here, before any other thread starts, and so in every thread
    // started later (the engines themselves start with none blocked).
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread(AwaitSignals, signals).detach();
}

bool Interrupted() { return g_interrupted.load() != 0; }

}  // namespace enghost
