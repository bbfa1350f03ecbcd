// The page that fetches the update manifest, moves its bar while it
// arrives, has it evaluated and moves the wizard on.
#pragma once

#include <string>

#include "framework/progress_bar.h"
#include "resources/resource.h"
#include "wizard/wizard_page.h"

class QueryPage : public WizardPage {
public:
    enum { IDD = IDD_QUERY_PAGE };
    explicit QueryPage(HWND parent) : WizardPage(IDD, parent) {}

protected:
    // Starts the manifest download.
    BOOL OnInitDialog() override { return StartManifestQuery(); }
    void DoDataExchange(framework::DataExchange& exchange) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    BOOL StartManifestQuery();
    LRESULT OnQueryNotify(WPARAM wParam, LPARAM lParam);
    void OnManifestFailed();
    void OnManifestReady(const std::string& manifestPath);

    framework::ProgressBar m_progress;
};
