// Ends a test program whose test runs far longer than any test should: the
// failure then names the test that hangs, where CTest's own timeout would
// only name the program (under wine, one program runs dozens of tests).
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr auto kLongestTest = std::chrono::seconds(240);

// Ends the process without a word to anything in it. On Windows _Exit still
// detaches every DLL, which can wait for a lock that a hung thread holds:
// the program would then hang on until CTest's timeout, the test unnamed.
[[noreturn]] void EndNow() {
#ifdef _WIN32
    TerminateProcess(GetCurrentProcess(), 1);
#endif
    std::_Exit(1);
}

// Lives to the end of the process: the watching thread never ends.
struct Watch {
    std::mutex mutex;
    std::condition_variable changed;
    std::string name;
    std::chrono::steady_clock::time_point deadline;
    bool running = false;

    void Run() {
        std::unique_lock lock(mutex);
        for (;;) {
            if (!running) {
                changed.wait(lock);
                continue;
            }
            auto until = deadline;
            if (changed.wait_until(lock, until) == std::cv_status::timeout && running && deadline == until) {
                std::fprintf(stderr, "\n%s has run for %lld s: it hangs\n", name.c_str(),
                             static_cast<long long>(kLongestTest.count()));
                std::fflush(stderr);
                EndNow();
            }
        }
    }
};

Watch* const g_watch = new Watch;

class Watchdog : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo& test) override {
        std::lock_guard lock(g_watch->mutex);
        g_watch->name = std::string(test.test_suite_name()) + "." + test.name();
        g_watch->deadline = std::chrono::steady_clock::now() + kLongestTest;
        g_watch->running = true;
        g_watch->changed.notify_all();
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
        std::lock_guard lock(g_watch->mutex);
        g_watch->running = false;
        g_watch->changed.notify_all();
    }
};

const bool kArmed = [] {
    std::thread([] { g_watch->Run(); }).detach();
    ::testing::UnitTest::GetInstance()->listeners().Append(new Watchdog);
    return true;
}();

}  // namespace
