// The product's host process for an update run: loads productupdate.dll from
// its own folder and calls RD_XXXX with the rest of its command line, as a
// rundll-style launcher does. A GUI program, so that no console window opens
// when the product starts it; its messages go to standard error when it has one.
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "command_line.h"
#include "framework/handles.h"
#include "framework/path.h"
#include "framework/win.h"

namespace {

typedef void(__stdcall* RdEntry)(HWND, HINSTANCE, LPSTR, int);

const int kCannotRun = 2;

void ReportError(const std::string& message)
{
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (!error || error == INVALID_HANDLE_VALUE)
        return;
    std::string line = "updatehost: " + message + "\r\n";
    DWORD written = 0;
    WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

int Run(HINSTANCE instance)
{
    std::string path = framework::RemoveFileSpec(framework::ModuleFileName(nullptr));
    if (!framework::AppendPath(path, "productupdate.dll")) {
        ReportError("the path of productupdate.dll is too long: " + path);
        return kCannotRun;
    }
    framework::Library module(LoadLibraryA(path.c_str()));
    if (!module) {
        DWORD error = GetLastError();
        ReportError("cannot load " + path + " (error " + std::to_string(error) + ")");
        return kCannotRun;
    }
    auto entry = reinterpret_cast<RdEntry>(
        reinterpret_cast<void*>(GetProcAddress(module.get(), "RD_XXXX")));
    if (!entry) {
        ReportError(path + " has no export RD_XXXX");
        return kCannotRun;
    }

    // The entry may write into the text it is given, as into rundll's own copy.
    const char* arguments = SkipProgramName(GetCommandLineA());
    std::vector<char> text(arguments, arguments + std::strlen(arguments) + 1);
    entry(nullptr, instance, text.data(), SW_SHOWNORMAL);
    // The module's download workers are never waited for and may still run
    // its code: it stays loaded until the process ends.
    module.release();
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    try {
        return Run(instance);
    } catch (const std::exception& e) {
        ReportError(e.what());
    } catch (...) {
        ReportError("unexpected failure");
    }
    return 1;
}
