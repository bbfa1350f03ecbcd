// The last page of a run that found an update: fetches the package from one
// of the offered URLs, moves its bar, hands the file on and ends the wizard.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "transfer_page.h"

class DownloadPage : public TransferPage {
public:
    enum { IDD = IDD_DOWNLOAD_PAGE };
    DownloadPage(std::vector<std::string> urls, HWND parent)
        : TransferPage(IDD, parent, PageKind::Download, IDC_DOWNLOADING, "IDC_DOWNLOADING"),
          m_urls(std::move(urls))
    {
    }

protected:
    // Starts the package download.
    BOOL OnInitDialog() override { return OnInitDownload(); }
    void OnTransferEnded(const std::optional<std::string>& package) override;

private:
    BOOL OnInitDownload();
    void OnDownloadFailed(WizardFrame& frame);

    const std::vector<std::string> m_urls;  // alternatives for one package
};
