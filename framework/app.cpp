#include "app.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace framework {

namespace {
App* current = nullptr;
}

App::App() { current = this; }

App::~App()
{
    if (current == this)
        current = nullptr;
}

App* App::Current() { return current; }

bool App::Start()
{
    InitOnceExecuteOnce(&startOnce_, RunStart, this, nullptr);
    return started_;
}

BOOL CALLBACK App::RunStart(PINIT_ONCE, PVOID app, PVOID*)
{
    App& self = *static_cast<App*>(app);
    try {
        self.started_ = self.InitInstance() != FALSE;
    } catch (...) {
        // Nothing unwinds through the system's once-call; the failure is the outcome.
        self.started_ = false;
    }
    return TRUE;  // done, whatever the outcome: a failed start-up is not run again
}

HINSTANCE ModuleInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

}  // namespace framework
