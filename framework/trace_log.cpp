#include "trace_log.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "handles.h"
#include "worker_thread.h"

namespace framework {

namespace {

// How long the end of a run waits for its lines to be written, and a writer
// for another process's writer to finish with the file.
constexpr DWORD kDrainWaitMs = 2000;
constexpr DWORD kTurnWaitMs = 2000;

struct Entry {
    SYSTEMTIME time;  // UTC, when the line was traced
    std::string line;
};

// "2024-05-17T08:30:05.123Z normal/hidden 4242 RD_XXXX", and a line end.
std::string FormatEntry(const Entry& entry, const std::string& tag, DWORD processId)
{
    const SYSTEMTIME& t = entry.time;
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ ", t.wYear, t.wMonth,
                  t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return stamp + tag + " " + std::to_string(processId) + " " + entry.line + "\r\n";
}

// The writers of every process that logs into one file take turns by a mutex
// named after the file: a batch then lands whole, and one process's rotation
// never moves away what another has just begun.
class FileTurn {
public:
    explicit FileTurn(const std::string& path) : mutex_(CreateMutexA(nullptr, FALSE, Name(path).c_str()))
    {
        if (!mutex_)
            return;
        DWORD waited = WaitForSingleObject(mutex_.get(), kTurnWaitMs);
        // An abandoned turn is ours: its writer's process ended mid-write.
        held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
    ~FileTurn()
    {
        if (held_)
            ReleaseMutex(mutex_.get());
    }
    FileTurn(const FileTurn&) = delete;
    FileTurn& operator=(const FileTurn&) = delete;

    explicit operator bool() const { return held_; }

private:
    // A mutex name may not hold a backslash, nor be as long as a path may:
    // a hash of the path, in any case, stands for it.
    static std::string Name(const std::string& path)
    {
        uint64_t hash = 14695981039346656037ull;  // FNV-1a
        for (unsigned char c : path) {
            hash ^= c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
            hash *= 1099511628211ull;
        }
        char name[40];
        std::snprintf(name, sizeof name, "TraceLogTurn-%016llx", static_cast<unsigned long long>(hash));
        return name;
    }

    Handle mutex_;
    bool held_ = false;
};

FileHandle OpenLogFile(const std::string& path)
{
    return FileHandle(CreateFileA(path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Appends the text to the current file, first moving a file at or above the
// cap to the older name. Anything that fails drops the text: the file never
// grows on past its cap, nor ends in part of a line.
void AppendToLog(const TraceLogFiles& files, const std::string& text)
{
    FileTurn turn(files.current);
    if (!turn)
        return;
    FileHandle file = OpenLogFile(files.current);
    LARGE_INTEGER size;
    if (!file || !GetFileSizeEx(file.get(), &size))
        return;
    if (static_cast<uint64_t>(size.QuadPart) >= files.cap) {
        file.reset();
        if (!MoveFileExA(files.current.c_str(), files.older.c_str(), MOVEFILE_REPLACE_EXISTING))
            return;
        file = OpenLogFile(files.current);
        if (!file || !GetFileSizeEx(file.get(), &size))
            return;
    }
    DWORD written = 0;
    if (SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN) &&
        WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size())
        return;
    // A disk that filled up midway: take the part back.
    SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN);
    SetEndOfFile(file.get());
}

// The log of the process that lines go to: the one the first of the living
// TraceLogs made. Never destroyed, since a worker may trace while the
// module's globals go away at process exit.
struct Sink {
    std::mutex mutex;
    std::shared_ptr<TraceLog::State> state;
    int users = 0;
};

Sink& TheSink()
{
    static Sink* sink = new Sink;
    return *sink;
}

}  // namespace

// Shared by the logs of the process and the writer thread, which may outlive
// them all when the disk is slow.
struct TraceLog::State {
    std::mutex mutex;
    std::condition_variable work;  // lines queued, or the log closing
    std::condition_variable idle;  // the queue written out
    std::vector<Entry> queue;
    TraceLogFiles files;
    std::string tag;
    bool started = false;
    bool writing = false;  // the writer holds a batch that is not yet in the file
    bool closing = false;
};

namespace {

// Writes the queued lines in batches until the log closes with none left.
void WriteQueued(TraceLog::State& state)
{
    const DWORD processId = GetCurrentProcessId();
    std::unique_lock<std::mutex> lock(state.mutex);
    for (;;) {
        state.work.wait(lock, [&] { return !state.queue.empty() || state.closing; });
        if (state.queue.empty())
            return;
        std::vector<Entry> batch;
        batch.swap(state.queue);
        state.writing = true;
        lock.unlock();
        try {
            std::string text;
            for (const Entry& entry : batch)
                text += FormatEntry(entry, state.tag, processId);
            AppendToLog(state.files, text);
        } catch (const std::bad_alloc&) {
            // No memory for the text: the batch is lost, the log goes on.
        }
        lock.lock();
        state.writing = false;
        state.idle.notify_all();
    }
}

unsigned __stdcall WriteLog(void* parameter)
{
    std::unique_ptr<std::shared_ptr<TraceLog::State>> state(
        static_cast<std::shared_ptr<TraceLog::State>*>(parameter));
    try {
        WriteQueued(**state);
    } catch (...) {
        // Nothing may unwind out of a thread.
    }
    return 0;
}

}  // namespace

// Logging never stops a run: whatever fails here (no memory, above all)
// leaves the run without its log, and only that.
TraceLog::TraceLog()
{
    try {
        Sink& sink = TheSink();
        std::lock_guard<std::mutex> lock(sink.mutex);
        if (!sink.state)
            sink.state = std::make_shared<State>();
        ++sink.users;
        state_ = sink.state;
    } catch (...) {
        state_.reset();
    }
}

TraceLog::~TraceLog()
{
    if (!state_)
        return;
    try {
        Sink& sink = TheSink();
        {
            std::lock_guard<std::mutex> lock(sink.mutex);
            if (--sink.users > 0)
                return;  // another run of the process goes on logging
            sink.state.reset();
        }
        std::unique_lock<std::mutex> lock(state_->mutex);
        state_->closing = true;
        state_->work.notify_all();
        if (state_->started)
            state_->idle.wait_for(lock, std::chrono::milliseconds(kDrainWaitMs),
                                  [&] { return state_->queue.empty() && !state_->writing; });
    } catch (...) {
        // The lines not yet written are lost.
    }
}

void TraceLog::Start(const TraceLogFiles& files, const std::string& tag)
{
    if (!state_)
        return;
    try {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->started || state_->closing)
            return;
        state_->files = files;
        state_->tag = tag;
        auto parameter = std::make_unique<std::shared_ptr<State>>(state_);
        if (StartWorkerThread(WriteLog, parameter.get())) {
            parameter.release();  // the writer's now
            state_->started = true;
            return;
        }
        state_->closing = true;  // no writer: take no more lines
        state_->queue.clear();
    } catch (...) {
        // No memory: the run goes on without its log.
    }
}

void TraceLog::Add(const char* line) noexcept
{
    try {
        std::shared_ptr<State> state;
        {
            Sink& sink = TheSink();
            std::lock_guard<std::mutex> lock(sink.mutex);
            state = sink.state;
        }
        if (!state)
            return;
        std::lock_guard<std::mutex> lock(state->mutex);
        if (state->closing)
            return;
        Entry entry{};
        GetSystemTime(&entry.time);  // under the lock, so that the stamps rise in queue order
        entry.line = line;
        state->queue.push_back(std::move(entry));
        state->work.notify_one();
    } catch (...) {
        // A line the log cannot take is still traced.
    }
}

}  // namespace framework
