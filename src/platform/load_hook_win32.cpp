#include <windows.h>

#include "platform/load_hook.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) cecp::OnModuleLoad();
    return TRUE;
}
