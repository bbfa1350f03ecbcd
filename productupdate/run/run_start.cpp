#include "run_start.h"

#include <cstdlib>
#include <utility>

#include "entry/switches.h"
#include "entry/test_version.h"
#include "framework/debug_output.h"
#include "framework/path.h"

namespace {

const char kNormalMutex[] = "{9B1F5E73-2A8C-4D6E-B047-3C9D1E5A7F08}";
const char kTestMutex[] = "{4E7A2C19-6B3D-4F28-9C51-7D0E8A3B6F42}";

}  // namespace

void ReadSwitches(const char* commandLine, RunParameters& run)
{
    char value[260] = {};
    if (FindSwitchValue(commandLine, "S", value, sizeof value)) {
        int shown = atoi(value);
        run.startHidden = shown == 0;
        run.interactive = shown != 0;
    }
    if (FindSwitchValue(commandLine, "T", value, sizeof value))
        run.testMode = atoi(value);
    run.manifestUrlOverride.clear();
    if (FindSwitchValue(commandLine, "URL", value, sizeof value))
        run.manifestUrlOverride = value;
}

bool TakeInstanceMutex(RunParameters& run)
{
    const char* name = run.testMode ? kTestMutex : kNormalMutex;
    framework::Handle mutex(CreateMutexA(nullptr, FALSE, name));
    if (mutex && GetLastError() != ERROR_ALREADY_EXISTS) {
        run.instanceMutex = std::move(mutex);
        return true;
    }
    framework::DebugOutput(run.testMode ? "RD_XXXX return because of ERROR_ALREADY_EXISTS (Test)"
                                        : "RD_XXXX return because of ERROR_ALREADY_EXISTS");
    return false;
}

std::string TestVersion(const std::string& hostDirectory)
{
    std::string file = hostDirectory;
    std::string version = "1000";
    if (framework::AppendPath(file, "VLNRTEST.VLT"))
        version = framework::ReadProfileString("VLTest", "Version", "1000", file);
    DotTestVersion(version);
    return version;
}
