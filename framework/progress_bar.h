// A progress-bar control of a dialog, bound by data exchange.
#pragma once

#include "win.h"

namespace framework {

class ProgressBar {
public:
    void Attach(HWND control) { hwnd_ = control; }
    HWND hwnd() const { return hwnd_; }

    void SetRange(int low, int high) const
    {
        SendMessageA(hwnd_, PBM_SETRANGE, 0, MAKELPARAM(low, high));
    }
    int SetPos(int position) const
    {
        return static_cast<int>(SendMessageA(hwnd_, PBM_SETPOS, position, 0));
    }

private:
    HWND hwnd_ = nullptr;
};

}  // namespace framework
