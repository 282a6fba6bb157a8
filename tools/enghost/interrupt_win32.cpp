#include <windows.h>

#include <atomic>

#include "interrupt.h"

namespace enghost {

namespace {

std::atomic<int> g_interrupted{0};

BOOL WINAPI OnControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    // The second: the default handler ends the program at once.
    if (g_interrupted.exchange(1) != 0) return FALSE;
    static const char message[] = "\nenghost: stopping: every engine is being closed (Ctrl-C again ends at once)\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), message, sizeof message - 1, &written, nullptr);
    return TRUE;
}

}  // namespace

void InstallInterruptHandler() { SetConsoleCtrlHandler(OnControl, TRUE); }

bool Interrupted() { return g_interrupted.load() != 0; }

}  // namespace enghost
