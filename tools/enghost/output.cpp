#include "output.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace enghost {

namespace {
std::mutex g_outputMutex;
bool g_statusShown = false;

void EraseStatusLocked() {
    if (!g_statusShown) return;
    std::fputs("\r\033[K", stdout);
    g_statusShown = false;
}
}  // namespace

bool StdoutIsTerminal() {
#ifdef _WIN32
    static const bool terminal = _isatty(_fileno(stdout)) != 0;
#else
    static const bool terminal = isatty(fileno(stdout)) != 0;
#endif
    return terminal;
}

void PrintLine(const std::string& text) {
    std::lock_guard lock(g_outputMutex);
    EraseStatusLocked();
    std::fputs(text.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void ShowStatus(const std::string& text) {
    if (!StdoutIsTerminal()) return;
    std::lock_guard lock(g_outputMutex);
    EraseStatusLocked();
    // Kept to one line of a narrow terminal, so that \r returns to its start.
    std::string shown = text.size() > 78 ? text.substr(0, 75) + "..." : text;
    std::fputs(shown.c_str(), stdout);
    std::fflush(stdout);
    g_statusShown = true;
}

void ClearStatus() {
    std::lock_guard lock(g_outputMutex);
    EraseStatusLocked();
    std::fflush(stdout);
}

void PrintError(const std::string& text) {
    std::lock_guard lock(g_outputMutex);
    EraseStatusLocked();
    std::fflush(stdout);
    std::fprintf(stderr, "enghost: %s\n", text.c_str());
    std::fflush(stderr);
}

std::string ScoreText(int centipawns) {
    // The module maps the engines' mates into the band 30000 - n (a mate in
    // n moves) down to 29234, and their being mated into its negative.
    constexpr int kMate = 30000, kBandWidth = 766;
    char text[32];
    const int magnitude = centipawns < 0 ? -centipawns : centipawns;
    if (magnitude >= kMate - kBandWidth && magnitude <= kMate) {
        std::snprintf(text, sizeof text, "%cM%d", centipawns < 0 ? '-' : '+', kMate - magnitude);
        return text;
    }
    std::snprintf(text, sizeof text, "%c%d.%02d", centipawns < 0 ? '-' : '+', magnitude / 100, magnitude % 100);
    return text;
}

std::string SecondsText(std::int64_t milliseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(milliseconds) / 1000.0);
    return text;
}

std::string CountText(std::int64_t count) {
    if (count < 1000) return std::to_string(count);
    // Three significant figures in the largest unit that keeps the figures
    // below 1000 once rounded: 1.23k, 12.3k, 123k, 1.00M.
    static const char kUnits[] = "kMGTPE";
    double value = static_cast<double>(count);
    int unit = -1;
    do {
        value /= 1000.0;
        ++unit;
    } while (value >= 999.5 && unit < 5);
    const int decimals = value < 9.995 ? 2 : value < 99.95 ? 1 : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%.*f%c", decimals, value, kUnits[unit]);
    return text;
}

void ExitNow(int code) {
    ClearStatus();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}

}  // namespace enghost
