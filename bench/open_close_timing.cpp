// How long Eng1 takes to return, and how long Eng2 takes with an engine that
// follows "quit" at once: the median of 20 open/close cycles through the
// module with the scripted test engine. Runs natively and under wine.
//   open_close_timing [cycles]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "installed_engine.h"

using Clock = std::chrono::steady_clock;

namespace {

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
    int cycles = argc > 1 ? std::atoi(argv[1]) : 20;
    if (cycles < 1) cycles = 20;
    cecp::test::InstalledEngine engine("timing");
    if (!engine.ready) {
        std::fprintf(stderr, "the module could not be loaded\n");
        return 1;
    }
    engine.InstallExecutable();
    engine.Configure("");
    std::vector<double> open, close;
    for (int i = 0; i < cycles + 1; ++i) {
        auto begin = Clock::now();
        if (engine.Open() != 0) {
            std::fprintf(stderr, "Eng1 failed in cycle %d\n", i);
            return 1;
        }
        auto opened = Clock::now();
        engine.api.Eng2();
        auto closed = Clock::now();
        if (i == 0) continue;  // the first start loads what the system caches
        open.push_back(Ms(opened - begin));
        close.push_back(Ms(closed - opened));
    }
    std::printf("cycles %d\nEng1 median %.2f ms (min %.2f, max %.2f)\nEng2 median %.2f ms (min %.2f, max %.2f)\n",
                cycles, Median(open), *std::min_element(open.begin(), open.end()),
                *std::max_element(open.begin(), open.end()), Median(close),
                *std::min_element(close.begin(), close.end()), *std::max_element(close.begin(), close.end()));
    return 0;
}
