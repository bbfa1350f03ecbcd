// Reads the lines of the system's debug-string output (OutputDebugStringA)
// through the debug-buffer protocol, from this process and any other.
#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/handles.h"

class DebugCapture {
public:
    DebugCapture();  // starts listening; only one capture may exist at a time
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    struct Line {
        DWORD processId;
        std::string text;
    };
    std::vector<Line> Lines() const;
    // The texts written by one process (0: every process), in order.
    std::vector<std::string> Texts(DWORD processId = GetCurrentProcessId()) const;
    void Clear();

private:
    void Listen();

    framework::Handle bufferReady_;
    framework::Handle dataReady_;
    framework::Handle mapping_;
    const char* view_ = nullptr;
    framework::Handle stop_;
    mutable std::mutex mutex_;
    mutable std::vector<Line> lines_;
    std::thread listener_;
};
