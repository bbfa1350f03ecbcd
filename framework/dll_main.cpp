// Linked into a DLL only. DllMain runs under the loader lock, where loading or
// calling another library can deadlock the process, so it does no more than
// turn off the thread notices: the module's start-up waits for its first
// call (App::Start).
#include "win.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(instance);
    return TRUE;
}
