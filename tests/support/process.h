// Runs a program as a separate process and collects what it leaves behind.
#pragma once

#include <string>

#include "framework/handles.h"

struct ProcessResult {
    DWORD exitCode = 0;
    std::string errorOutput;  // everything written to standard error
    std::string output;       // and to standard output
};

// A program started in a working folder with its outputs on pipes.
// Throws when it cannot be started; ended hard if still running at destruction.
class ChildProcess {
public:
    // utf8: the command line is UTF-8 text, passed on as wide characters
    // whatever the ANSI code page (names such as 清单.ini).
    ChildProcess(const std::string& commandLine, const std::string& workingFolder, bool utf8 = false);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    DWORD id() const { return id_; }
    HANDLE handle() const { return process_.get(); }
    // Waits for the end and reads the outputs (up to 64 KiB each); throws when
    // the program does not end in time.
    ProcessResult Wait(DWORD timeoutMs = 60000);
    // Ends the program at once, as a crash or a kill would.
    void Kill();

private:
    std::string commandLine_;
    framework::Handle process_;
    framework::Handle errorOutput_;
    framework::Handle output_;
    DWORD id_ = 0;
};

// Starts the program and waits up to a minute for it.
ProcessResult RunProcess(const std::string& commandLine, const std::string& workingFolder, bool utf8 = false);
