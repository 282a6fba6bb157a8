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
    // The module maps the engines' mate band to 29234 to 30000.
    if (centipawns >= 29000) return "mate";
    if (centipawns <= -29000) return "-mate";
    char text[32];
    const int magnitude = centipawns < 0 ? -centipawns : centipawns;
    std::snprintf(text, sizeof text, "%c%d.%02d", centipawns < 0 ? '-' : '+', magnitude / 100, magnitude % 100);
    return text;
}

std::string SecondsText(std::int64_t milliseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(milliseconds) / 1000.0);
    return text;
}

std::string CountText(std::int64_t count) {
    char text[32];
    if (count >= 10'000'000)
        std::snprintf(text, sizeof text, "%.2fM", static_cast<double>(count) / 1e6);
    else if (count >= 100'000)
        std::snprintf(text, sizeof text, "%.1fk", static_cast<double>(count) / 1e3);
    else
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(count));
    return text;
}

void ExitNow(int code) {
    ClearStatus();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}

}  // namespace enghost
