// The module's one export: one call is one update run.
#include <cstdlib>
#include <string>
#include <utility>

#include "file_update.h"
#include "framework/app.h"
#include "framework/debug_output.h"
#include "framework/path.h"
#include "old_files.h"
#include "run_log.h"
#include "startup/directories.h"
#include "startup/module_context.h"
#include "switches.h"
#include "test_version.h"
#include "wizard/wizard_frame.h"

namespace {

const char kNormalMutex[] = "{9B1F5E73-2A8C-4D6E-B047-3C9D1E5A7F08}";
const char kTestMutex[] = "{4E7A2C19-6B3D-4F28-9C51-7D0E8A3B6F42}";

// Reads the run's switches into the frame; returns the URL switch, empty
// when there is none (an earlier run's must not linger).
std::string ReadSwitches(const char* commandLine, WizardFrame& frame)
{
    char value[260] = {};
    if (FindSwitchValue(commandLine, "S", value, sizeof value)) {
        int shown = atoi(value);
        frame.startHidden = shown == 0;
        frame.interactive = shown != 0;
    }
    if (FindSwitchValue(commandLine, "T", value, sizeof value))
        frame.testMode = atoi(value);
    std::string url;
    if (FindSwitchValue(commandLine, "URL", value, sizeof value))
        url = value;
    return url;
}

// Only one run of a mode at a time, across processes. False when another
// run holds the mode's mutex, or when the mutex cannot be had at all (another
// user's or integrity level's run may hold it); the frame owns it otherwise.
bool TakeInstanceMutex(WizardFrame& frame, const char* name, const char* refusal)
{
    framework::Handle mutex(CreateMutexA(nullptr, FALSE, name));
    if (mutex && GetLastError() != ERROR_ALREADY_EXISTS) {
        frame.instanceMutex = std::move(mutex);
        return true;
    }
    framework::DebugOutput(refusal);
    return false;
}

// The classes our templates use beyond the system's own: a host need not
// have loaded the common controls.
void RegisterControlClasses()
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
}

// The test version beside the host, "1000" style, converted to 1.0.0.0 style.
std::string TestVersion()
{
    std::string file = Module().hostDirectory;
    std::string version = "1000";
    if (framework::AppendPath(file, "VLNRTEST.VLT"))
        version = framework::ReadProfileString("VLTest", "Version", "1000", file);
    DotTestVersion(version);
    return version;
}

void RunUpdate(const char* commandLine)
{
    framework::TraceLog log;  // first in, last out: it takes every line of the run
    // The start-up loads and calls the language library, which must not
    // happen under the loader lock: the first call runs it, before its first
    // trace line, as a start-up at load came before it.
    const bool started = framework::App::Current()->Start();
    framework::DebugOutput("RD_XXXX");
    if (!started) {
        // Half-set module values must not steer a run (a build whose keys did
        // not load would trust the network): it runs nothing, as a module
        // whose load was refused did.
        framework::DebugOutput("RD_XXXX return because the start-up failed");
        return;
    }
    ModuleState& module = Module();
    std::string dataDirectory;
    ResolveDataDirectory(dataDirectory);
    // The run's values reach the module only once this call owns its mode's
    // mutex: a refused call must not change what a running one reads.
    std::string iniFilePath = dataDirectory + "\\VLNR.INI";
    framework::DebugOutput("IniFilePath");
    framework::DebugOutput(iniFilePath);

    WizardFrame frame;
    SweepOldFiles(nullptr);
    std::string manifestUrl = ReadSwitches(commandLine, frame);
    StartRunLog(log, frame);

    std::string version;
    if (frame.testMode == 0) {
        version = framework::ReadProfileString("Version", "packet", "0.0.0.1", iniFilePath);
        if (!TakeInstanceMutex(frame, kNormalMutex, "RD_XXXX return because of ERROR_ALREADY_EXISTS"))
            return;
    } else {
        if (!TakeInstanceMutex(frame, kTestMutex,
                               "RD_XXXX return because of ERROR_ALREADY_EXISTS (Test)"))
            return;
        version = TestVersion();
        frame.startHidden = 1;
        frame.interactive = 0;
    }
    module.iniFilePath = iniFilePath;
    module.manifestUrlOverride = manifestUrl;
    frame.installedVersion = version;
    RegisterControlClasses();
    frame.DoModal();

    framework::DebugOutput("BeforeFileUpdate");
    RunFileUpdate();
    // The frame goes last: its mutex is held through the hand-off.
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
