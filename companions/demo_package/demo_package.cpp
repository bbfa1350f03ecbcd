// The demo site's update package: a stand-in for the real installer that the
// update server publishes. The product starts a package with " /Velnor";
// this one then only says what a real package would do. Started any other
// way it does nothing, as a real package would refuse to.
#include <cstring>

#include "framework/win.h"

namespace {

const char kProductSwitch[] = "/Velnor";

bool StartedByTheProduct(const char* commandLine)
{
    const char* found = std::strstr(commandLine, kProductSwitch);
    return found && found[sizeof kProductSwitch - 1] == '\0';
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    if (!commandLine || !StartedByTheProduct(commandLine))
        return 2;
    MessageBoxA(nullptr,
                "Velnor demo update package.\n\n"
                "A real package would now install the new version of Velnor.",
                "Velnor Update", MB_OK | MB_ICONINFORMATION);
    return 0;
}
