// A hidden window on the thread that creates it, receiving download notices
// as the download page does: each progress notice moves a real progress bar.
// It counts the notices and checks that their percentages never go back.
#pragma once

#include <cstdint>

#include "framework/progress_bar.h"
#include "framework/win.h"
#include "transfer/download_notice.h"

class NoticeReceiver {
public:
    NoticeReceiver();  // throws std::runtime_error when no window can be made
    ~NoticeReceiver();
    NoticeReceiver(const NoticeReceiver&) = delete;
    NoticeReceiver& operator=(const NoticeReceiver&) = delete;

    HWND hwnd() const { return hwnd_; }
    // Runs this thread's message loop until a completion notice was handled.
    void RunUntilComplete();

    std::uint64_t notices() const { return notices_; }
    UINT lastPercent() const { return lastPercent_; }
    bool ordered() const { return ordered_; }
    bool succeeded() const { return succeeded_; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnNotice(const DownloadNotice& notice);

    HWND hwnd_ = nullptr;
    framework::ProgressBar progress_;
    std::uint64_t notices_ = 0;
    UINT lastPercent_ = 0;
    bool ordered_ = true;
    bool complete_ = false;
    bool succeeded_ = false;
};
