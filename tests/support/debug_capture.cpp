#include "debug_capture.h"

#include <cstring>
#include <stdexcept>

namespace {
constexpr DWORD kBufferSize = 4096;
}

DebugCapture::DebugCapture()
    : bufferReady_(CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY")),
      dataReady_(CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY")),
      mapping_(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferSize,
                                  "DBWIN_BUFFER")),
      stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
    if (!bufferReady_ || !dataReady_ || !mapping_ || !stop_)
        throw std::runtime_error("cannot open the debug buffer");
    view_ = static_cast<const char*>(MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, kBufferSize));
    if (!view_)
        throw std::runtime_error("cannot map the debug buffer");
    listener_ = std::thread([this] { Listen(); });
}

DebugCapture::~DebugCapture()
{
    SetEvent(stop_.get());
    listener_.join();
    UnmapViewOfFile(view_);
}

void DebugCapture::Listen()
{
    HANDLE waits[] = {dataReady_.get(), stop_.get()};
    SetEvent(bufferReady_.get());
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) {
        Line line;
        memcpy(&line.processId, view_, sizeof line.processId);
        const char* text = view_ + sizeof(DWORD);
        line.text.assign(text, strnlen(text, kBufferSize - sizeof(DWORD)));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back(std::move(line));
        }
        SetEvent(bufferReady_.get());
    }
}

std::vector<DebugCapture::Line> DebugCapture::Lines() const
{
    // A writer hands its line over and goes on before the listener has taken
    // it. A marker of our own is written only once the buffer is free again,
    // so when the marker has arrived, every line written before it has too.
    static int counter = 0;
    std::string marker = "\x01" "debug-capture-flush-" + std::to_string(++counter);
    OutputDebugStringA(marker.c_str());
    for (int waited = 0; waited < 5000; waited += 5) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (auto line = lines_.begin(); line != lines_.end(); ++line) {
                if (line->text == marker) {
                    lines_.erase(line);
                    return lines_;
                }
            }
        }
        Sleep(5);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

std::vector<std::string> DebugCapture::Texts(DWORD processId) const
{
    std::vector<std::string> texts;
    for (const Line& line : Lines()) {
        if (processId == 0 || line.processId == processId)
            texts.push_back(line.text);
    }
    return texts;
}

void DebugCapture::Clear()
{
    Lines();  // so that no line written before this one arrives after it
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
}
