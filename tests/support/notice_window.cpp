#include "notice_window.h"

#include "transfer/download_notice.h"
#include "transfer/update_session.h"

namespace {
const char kClassName[] = "VelnorTestNoticeWindow";
}

NoticeWindow::NoticeWindow()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);
    hwnd_ = CreateWindowA(kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

NoticeWindow::~NoticeWindow() { Destroy(); }

void NoticeWindow::Destroy()
{
    if (hwnd_)
        DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

LRESULT CALLBACK NoticeWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<NoticeWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message != WM_DOWNLOAD_NOTICE || !self)
        return DefWindowProcA(window, message, wParam, lParam);
    const auto* notice = reinterpret_cast<const DownloadNotice*>(lParam);
    ReceivedNotice received;
    received.kind = notice->kind;
    received.failed = notice->failed;
    received.succeeded = notice->succeeded;
    received.fromSession = wParam != 0;
    if (!notice->failed && !notice->succeeded)
        received.percent = notice->percent;
    if (notice->succeeded && wParam)
        received.file = reinterpret_cast<UpdateSession*>(wParam)->m_strFile;
    self->notices.push_back(received);
    if (self->onNotice)
        self->onNotice(received);
    return 0;
}

std::vector<UINT> NoticeWindow::Percents() const
{
    std::vector<UINT> percents;
    for (const ReceivedNotice& n : notices) {
        if (!n.failed && !n.succeeded)
            percents.push_back(n.percent);
    }
    return percents;
}

size_t NoticeWindow::Completions() const
{
    size_t count = 0;
    for (const ReceivedNotice& n : notices)
        count += (n.failed || n.succeeded) ? 1 : 0;
    return count;
}

bool NoticeWindow::WaitForCompletion(DWORD timeoutMs)
{
    return PumpUntil([this] { return Completions() > 0; }, timeoutMs);
}

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return true;
}
