// The trace lines of a run kept in a small log file as well, so that a user
// has something to send: each line is stamped when it is traced, and a
// thread of the log's own writes it, so that no tracing thread waits on the
// disk. A log that cannot be written loses its lines and nothing else.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace framework {

// The file the lines are appended to, the one older file it moves to when it
// has reached the cap (replacing the older one), and the cap in bytes.
struct TraceLogFiles {
    std::string current;
    std::string older;
    uint64_t cap = 0;
};

// While a TraceLog lives, every line that DebugOutput traces in the process,
// on any thread, is queued for it. Logs that overlap in one process (two
// threads calling a run at once) share the first one's queue, files and tag.
class TraceLog {
public:
    TraceLog();  // lines queue from now on
    // Takes no more lines, and, when it is the last log of the process, waits
    // a short while for the queued ones to reach the file: a host that exits
    // at once still keeps them.
    ~TraceLog();
    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;

    // Names the files and the tag that each line carries, and starts writing,
    // the lines queued so far first. Only the first call counts; lines queued
    // by a log that is never started are dropped.
    void Start(const TraceLogFiles& files, const std::string& tag);

    // Hands a traced line to the log of the process, if there is one.
    static void Add(const char* line) noexcept;

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace framework
