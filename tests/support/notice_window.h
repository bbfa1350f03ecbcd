// A message-only window on the test's thread that records the download
// notices it receives, as a page would receive them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "framework/win.h"

class UpdateSession;

struct ReceivedNotice {
    int kind = 0;
    BOOL failed = FALSE;
    BOOL succeeded = FALSE;
    UINT percent = 0;   // progress notices only
    bool fromSession = false;  // wParam named a session
    std::string file;   // the session's target, read on the success notice
};

class NoticeWindow {
public:
    NoticeWindow();
    ~NoticeWindow();
    NoticeWindow(const NoticeWindow&) = delete;
    NoticeWindow& operator=(const NoticeWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    void Destroy();

    // Pumps messages until a completion notice has arrived; false on timeout.
    bool WaitForCompletion(DWORD timeoutMs = 30000);

    std::vector<ReceivedNotice> notices;
    std::vector<UINT> Percents() const;
    size_t Completions() const;
    // Called inside the handler, while the worker waits.
    std::function<void(const ReceivedNotice&)> onNotice;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

// Pumps messages until the condition holds; false on timeout.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 30000);
