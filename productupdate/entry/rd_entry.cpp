// The module's one export: one call is one update run.
#include "framework/app.h"
#include "framework/debug_output.h"
#include "run/update_run.h"
#include "startup/update_app.h"
#include "wizard/wizard_frame.h"

namespace {

// The classes our templates use beyond the system's own: a host need not
// have loaded the common controls.
void RegisterControlClasses()
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
}

void RunUpdate(const char* commandLine)
{
    framework::TraceLog log;  // first in, last out: it takes every line of the run
    // The start-up loads and calls the language library, which must not
    // happen under the loader lock: the first call runs it, before its first
    // trace line, as a start-up at load came before it.
    auto* app = static_cast<UpdateApp*>(framework::App::Current());
    const bool started = app->Start();
    framework::DebugOutput("RD_XXXX");
    if (!started) {
        // Half-set module values must not steer a run (a build whose keys did
        // not load would trust the network): it runs nothing, as a module
        // whose load was refused did.
        framework::DebugOutput("RD_XXXX return because the start-up failed");
        return;
    }
    RegisterControlClasses();
    UpdateRun run(app->context);
    // Destroyed before the run, after the hand-off: the mutex that the run
    // takes is closed with the frame's window.
    WizardFrame frame(run);
    run.Run(commandLine, log, frame);
}

}  // namespace

extern "C" void __stdcall RD_XXXX(HWND, HINSTANCE, LPSTR commandLine, int)
{
    try {
        RunUpdate(commandLine);
    } catch (...) {
        // Nothing may unwind into the host.
    }
}
