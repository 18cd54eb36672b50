// The DLL's entry: remembers the module for the hidden window's class, opens the log, and
// writes the last telephony calls to it as the process ends (the program exits right after
// lineShutdown).
#include "platform/tapidll/log.h"

#include <windows.h>

extern HINSTANCE tapidllModule;

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        tapidllModule = module;
        DisableThreadLibraryCalls(module);
        tapidll::OpenLog();
        tapidll::LogLine("test telephony service loaded");
    } else if (reason == DLL_PROCESS_DETACH) {
        tapidll::LogNewCalls();
        tapidll::LogLine("process ends");
    }
    return TRUE;
}
