// The notice protocol between a download session's worker and its window.
#pragma once

#include "framework/win.h"

// wParam: the sending UpdateSession (null when no worker could be started);
// lParam: a DownloadNotice. Always sent synchronously, because both die with
// the worker's step that sent them; receivers return 0.
constexpr UINT WM_DOWNLOAD_NOTICE = WM_USER + 204;

// Progress {1, 0, 0, percent}; success {1, 0, 1, -}; failure {1, 1, 0, -}.
// A receiver tests failed first, then succeeded, and ignores a kind of 0.
struct DownloadNotice {
    int kind;
    BOOL failed;
    BOOL succeeded;
    UINT percent;  // progress notices only
};
static_assert(sizeof(DownloadNotice) == 16, "four 32-bit fields");
