#include "process.h"

#include <stdexcept>
#include <vector>

namespace {

// The outputs are read once the program has ended, so each must fit its pipe.
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

// A pipe whose read end stays here and whose write end the child inherits.
framework::Handle OutputPipe(framework::Handle& readEnd)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    framework::Handle writeEnd;
    if (!CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, kPipeSize) ||
        !SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0))
        throw std::runtime_error("cannot create a pipe");
    return writeEnd;
}

std::wstring Wide(const std::string& utf8)
{
    std::wstring wide(utf8.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n) - 1 : 0);
    return wide;
}

bool Start(const std::string& commandLine, const std::string& workingFolder, bool utf8, HANDLE errorEnd,
           HANDLE outputEnd, PROCESS_INFORMATION& info)
{
    if (utf8) {
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdError = errorEnd;
        startup.hStdOutput = outputEnd;
        std::wstring line = Wide(commandLine);
        return CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                              Wide(workingFolder).c_str(), &startup, &info);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = errorEnd;
    startup.hStdOutput = outputEnd;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, workingFolder.c_str(),
                          &startup, &info);
}

}  // namespace

ChildProcess::ChildProcess(const std::string& commandLine, const std::string& workingFolder, bool utf8)
    : commandLine_(commandLine)
{
    framework::Handle errorEnd = OutputPipe(errorOutput_);
    framework::Handle outputEnd = OutputPipe(output_);

    PROCESS_INFORMATION info = {};
    if (!Start(commandLine, workingFolder, utf8, errorEnd.get(), outputEnd.get(), info))
        throw std::runtime_error("cannot start " + commandLine);
    process_.reset(info.hProcess);
    CloseHandle(info.hThread);
    id_ = info.dwProcessId;
    // The write ends close here: each pipe then ends with the child's copy.
}

ChildProcess::~ChildProcess()
{
    if (WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT)
        Kill();
}

void ChildProcess::Kill()
{
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 10000);
}

ProcessResult ChildProcess::Wait(DWORD timeoutMs)
{
    if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) {
        Kill();
        throw std::runtime_error(commandLine_ + " did not end");
    }
    ProcessResult result;
    GetExitCodeProcess(process_.get(), &result.exitCode);
    result.errorOutput = ReadToEnd(errorOutput_.get());
    result.output = ReadToEnd(output_.get());
    return result;
}

ProcessResult RunProcess(const std::string& commandLine, const std::string& workingFolder, bool utf8)
{
    return ChildProcess(commandLine, workingFolder, utf8).Wait();
}
