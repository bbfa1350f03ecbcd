// Drives a dialog from inside its own modal loop: steps run in order on
// this thread, from a timer, each retried until it reports itself done.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "framework/win.h"

class UiScript {
public:
    UiScript() = default;
    ~UiScript();
    UiScript(const UiScript&) = delete;
    UiScript& operator=(const UiScript&) = delete;

    // A step returns true when its condition held and it has acted.
    UiScript& Step(std::string name, std::function<bool()> step);
    // onTimeout is called (to end the run) when a step does not finish in time.
    void Start(std::function<void()> onTimeout, DWORD timeoutMs = 20000);

    bool Finished() const { return next_ == steps_.size(); }
    // The step that did not finish, if any.
    std::string Pending() const { return Finished() ? std::string() : steps_[next_].first; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void RunSteps();

    std::vector<std::pair<std::string, std::function<bool()>>> steps_;
    size_t next_ = 0;
    UINT_PTR timer_ = 0;
    DWORD deadline_ = 0;
    DWORD timeout_ = 0;
    std::function<void()> onTimeout_;
    bool running_ = false;
};

// Counts the times a top-level window of this thread was shown.
class ShowWatch {
public:
    ShowWatch();
    ~ShowWatch();
    ShowWatch(const ShowWatch&) = delete;
    ShowWatch& operator=(const ShowWatch&) = delete;

    int shows() const;

private:
    HHOOK hook_;
};

// A click as the user makes it: ignored by a hidden or disabled button.
void Click(HWND dialog, int id);
bool IsShown(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
std::string ItemText(HWND dialog, int id);
