#include "notice_receiver.h"

#include <stdexcept>

namespace {
const char kClassName[] = "VelnorBenchNoticeReceiver";
}

NoticeReceiver::NoticeReceiver()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);  // fails harmlessly when already registered
    hwnd_ = CreateWindowA(kClassName, "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 100, nullptr, nullptr,
                          nullptr, nullptr);
    if (!hwnd_)
        throw std::runtime_error("cannot create the notice window");
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    progress_.Attach(CreateWindowA(PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 10, 10, 300, 20,
                                   hwnd_, nullptr, nullptr, nullptr));
    progress_.SetRange(0, 100);
}

NoticeReceiver::~NoticeReceiver()
{
    if (hwnd_)
        DestroyWindow(hwnd_);
}

void NoticeReceiver::RunUntilComplete()
{
    MSG msg;
    while (!complete_ && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

LRESULT CALLBACK NoticeReceiver::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<NoticeReceiver*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message != WM_DOWNLOAD_NOTICE || !self || !lParam)
        return DefWindowProcA(window, message, wParam, lParam);
    self->OnNotice(*reinterpret_cast<const DownloadNotice*>(lParam));
    return 0;
}

void NoticeReceiver::OnNotice(const DownloadNotice& notice)
{
    if (notice.kind == 0)
        return;
    if (notice.failed || notice.succeeded) {
        complete_ = true;
        succeeded_ = notice.succeeded && !notice.failed;
        PostMessageA(hwnd_, WM_NULL, 0, 0);  // wakes the loop to see the end
        return;
    }
    ++notices_;
    ordered_ = ordered_ && notice.percent >= lastPercent_;
    lastPercent_ = notice.percent;
    progress_.SetPos(static_cast<int>(notice.percent));
}
