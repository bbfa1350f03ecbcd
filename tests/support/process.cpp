#include "process.h"

#include <stdexcept>
#include <vector>

#include "framework/handles.h"
#include "framework/win.h"

namespace {

// Standard error is read once the program has ended, so it must fit the pipe.
const DWORD kPipeSize = 1 << 16;

std::string ReadToEnd(HANDLE pipe)
{
    std::string text;
    char chunk[4096];
    DWORD n = 0;
    while (ReadFile(pipe, chunk, sizeof chunk, &n, nullptr) && n > 0)
        text.append(chunk, n);
    return text;
}

}  // namespace

ProcessResult RunProcess(const std::string& commandLine, const std::string& workingFolder)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    framework::Handle readEnd, writeEnd;
    if (!CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, kPipeSize) ||
        !SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0))
        throw std::runtime_error("cannot create a pipe");

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = writeEnd.get();
    PROCESS_INFORMATION info = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        workingFolder.c_str(), &startup, &info))
        throw std::runtime_error("cannot start " + commandLine);
    framework::Handle process(info.hProcess), thread(info.hThread);
    writeEnd.reset();  // the pipe then ends with the child's copy

    if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
        throw std::runtime_error(commandLine + " did not end");
    }
    ProcessResult result;
    GetExitCodeProcess(process.get(), &result.exitCode);
    result.errorOutput = ReadToEnd(readEnd.get());
    return result;
}
