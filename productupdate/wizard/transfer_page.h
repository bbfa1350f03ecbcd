// A page that fetches one file while it is shown: it starts a download
// session as it is initialised, moves its bar with the session's progress
// and hands the outcome to the page that derives from it.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "framework/progress_bar.h"
#include "page_buttons.h"
#include "transfer/package_pin.h"
#include "wizard_page.h"

// The full path of fileName in the run's download folder: the temporary
// folder, or else the folder of this module's file.
std::string DownloadPath(const std::string& fileName);

class TransferPage : public WizardPage {
protected:
    // kind gives the frame's buttons; statusId is the control that says
    // what the page waits for, with its language key.
    TransferPage(UINT templateId, HWND parent, PageKind kind, int statusId, const char* statusKey);

    // Starts the session for the URL into fileName in the run's download
    // folder, then sets the page's texts and the frame's buttons. Called from
    // the page's initialisation, after the base's. A body declared longer
    // than maxLength fails the transfer. A resumable transfer keeps the
    // bytes of a cut body for the next run (see transfer/kept_files.h).
    void StartTransfer(const std::string& url, const std::string& fileName, const PackagePin& pin,
                       std::uint64_t maxLength = std::numeric_limits<std::uint64_t>::max(),
                       bool resumable = false);

    // The one completion notice: the downloaded file, or nothing when the
    // transfer failed. A page that replaces itself here touches nothing of
    // its own afterwards.
    virtual void OnTransferEnded(const std::optional<std::string>& file) = 0;

    void DoDataExchange(framework::DataExchange& exchange) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    framework::ProgressBar m_progress;

private:
    // The handler of WM_DOWNLOAD_NOTICE; wParam is the session, lParam its
    // notice. Returns 0.
    LRESULT OnDownloadNotice(WPARAM wParam, LPARAM lParam);

    PageKind kind_;
    int statusId_;
    const char* statusKey_;
};
