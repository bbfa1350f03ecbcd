// A stand-in for an update package: writes the command line it was started
// with to a file beside itself, <its own path>.args, and ends.
#include <fstream>

#include "framework/win.h"

int main()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::ofstream(std::string(path) + ".args", std::ios::binary) << GetCommandLineA();
    return 0;
}
