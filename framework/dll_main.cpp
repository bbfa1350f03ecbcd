// Linked into a DLL only: starts the module's application object at load.
#include "app.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    DisableThreadLibraryCalls(instance);
    try {
        framework::App* app = framework::App::Current();
        return app ? app->InitInstance() : TRUE;
    } catch (...) {
        // A start-up that could not finish leaves the module unusable: refuse the load.
        return FALSE;
    }
}
