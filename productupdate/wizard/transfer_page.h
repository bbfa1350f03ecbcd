// A page that fetches one file while it is shown: it starts a download
// session as it is initialised, moves its bar with the session's progress
// and hands the outcome to the page that derives from it.
#pragma once

#include <optional>
#include <string>

#include "framework/progress_bar.h"
#include "page_buttons.h"
#include "run/update_run.h"
#include "wizard_page.h"

class TransferPage : public WizardPage {
protected:
    // kind gives the frame's buttons; statusId is the control that says
    // what the page waits for, with its language key.
    TransferPage(UINT templateId, HWND parent, PageKind kind, int statusId, const char* statusKey);

    // Starts the session for the fetch into the run's download folder, then
    // sets the page's texts and the frame's buttons. Called from the page's
    // initialisation, after the base's. A resumable transfer keeps the
    // bytes of a cut body for the next run (see transfer/kept_files.h).
    void StartTransfer(const Fetch& fetch);

    // The one completion notice: the downloaded file, or nothing when the
    // transfer failed. A page that moves the run on here touches nothing of
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
