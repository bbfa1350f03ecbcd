#include "ui_script.h"

#include "framework/dialog.h"

namespace {
UiScript* running = nullptr;
int showCount = 0;

LRESULT CALLBACK WatchShows(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        bool topLevel = !(GetWindowLongA(message->hwnd, GWL_STYLE) & WS_CHILD);
        if (topLevel && message->message == WM_WINDOWPOSCHANGED &&
            (reinterpret_cast<const WINDOWPOS*>(message->lParam)->flags & SWP_SHOWWINDOW))
            ++showCount;
        if (topLevel && message->message == WM_SHOWWINDOW && message->wParam)
            ++showCount;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

UiScript::~UiScript()
{
    if (timer_)
        KillTimer(nullptr, timer_);
    if (running == this)
        running = nullptr;
}

UiScript& UiScript::Step(std::string name, std::function<bool()> step)
{
    steps_.emplace_back(std::move(name), std::move(step));
    return *this;
}

void UiScript::Start(std::function<void()> onTimeout, DWORD timeoutMs)
{
    onTimeout_ = std::move(onTimeout);
    timeout_ = timeoutMs;
    deadline_ = GetTickCount() + timeoutMs;
    running = this;
    timer_ = SetTimer(nullptr, 0, 10, Tick);
}

void CALLBACK UiScript::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (running && !running->running_)
        running->RunSteps();
}

void UiScript::RunSteps()
{
    running_ = true;  // a step may run a nested loop that ticks again
    while (!Finished() && steps_[next_].second()) {
        ++next_;
        deadline_ = GetTickCount() + timeout_;
    }
    running_ = false;
    if (Finished() || static_cast<LONG>(GetTickCount() - deadline_) > 0) {
        KillTimer(nullptr, timer_);
        timer_ = 0;
        if (!Finished() && onTimeout_)
            onTimeout_();
    }
}

ShowWatch::ShowWatch()
    : hook_(SetWindowsHookExA(WH_CALLWNDPROCRET, WatchShows, nullptr, GetCurrentThreadId()))
{
    showCount = 0;
}

ShowWatch::~ShowWatch() { UnhookWindowsHookEx(hook_); }

int ShowWatch::shows() const { return showCount; }

void Click(HWND dialog, int id)
{
    // BM_CLICK itself would press a hidden or disabled button too.
    HWND button = GetDlgItem(dialog, id);
    if (IsWindowVisible(button) && IsWindowEnabled(button))
        SendMessageA(button, BM_CLICK, 0, 0);
}

bool IsShown(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }

bool IsEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

std::string ItemText(HWND dialog, int id) { return framework::WindowText(GetDlgItem(dialog, id)); }
