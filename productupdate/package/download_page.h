// The last page of a run that found an update: fetches the package from one
// of the offered URLs, moves its bar, hands the file on and ends the wizard.
#pragma once

#include <string>
#include <vector>

#include "framework/progress_bar.h"
#include "resources/resource.h"
#include "wizard/wizard_page.h"

class DownloadPage : public WizardPage {
public:
    enum { IDD = IDD_DOWNLOAD_PAGE };
    DownloadPage(std::vector<std::string> urls, HWND parent)
        : WizardPage(IDD, parent), m_urls(std::move(urls))
    {
    }

    std::vector<std::string> m_urls;  // alternatives for one package
    std::string m_strInfo;            // the update's description; kept, shown nowhere

protected:
    // Starts the package download.
    BOOL OnInitDialog() override { return OnInitDownload(); }
    void DoDataExchange(framework::DataExchange& exchange) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    BOOL OnInitDownload();
    LRESULT OnDownloadNotice(WPARAM wParam, LPARAM lParam);

    framework::ProgressBar m_progress;
};
