// Runs a program as a separate process and collects what it leaves behind.
#pragma once

#include <string>

#include "framework/win.h"

struct ProcessResult {
    DWORD exitCode = 0;
    std::string errorOutput;  // everything written to standard error
};

// Starts the command line in the working folder with standard error on a pipe,
// waits for the exit and reads the pipe (up to 64 KiB). Throws when the
// program cannot be started or does not end within a minute.
ProcessResult RunProcess(const std::string& commandLine, const std::string& workingFolder);
