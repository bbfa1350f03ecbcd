// Trace lines on the system's debug-string output: one call per line, no line end.
#pragma once

#include <string>
#include <vector>

#include "trace_log.h"
#include "win.h"

namespace framework {

// Collects the trace lines written on this thread while it lives, besides
// writing them out: for a program that shows what the module would trace.
class TraceCollector {
public:
    TraceCollector() : outer_(current_) { current_ = this; }
    ~TraceCollector() { current_ = outer_; }
    TraceCollector(const TraceCollector&) = delete;
    TraceCollector& operator=(const TraceCollector&) = delete;

    const std::vector<std::string>& lines() const { return lines_; }

    static void Add(const char* line)
    {
        if (current_)
            current_->lines_.emplace_back(line);
    }

private:
    static inline thread_local TraceCollector* current_ = nullptr;
    TraceCollector* outer_;
    std::vector<std::string> lines_;
};

inline void DebugOutput(const char* line)
{
    TraceCollector::Add(line);
    TraceLog::Add(line);  // stamped now; raises nothing, and leaves the line as it is
    OutputDebugStringA(line);
}
inline void DebugOutput(const std::string& line) { DebugOutput(line.c_str()); }

}  // namespace framework
