// The page of a run that found an update: fetches the package the run
// names, moves its bar and hands the file to the run, which keeps or starts it.
#pragma once

#include <optional>
#include <string>

#include "resources/resource.h"
#include "transfer_page.h"

class DownloadPage : public TransferPage {
public:
    enum { IDD = IDD_DOWNLOAD_PAGE };
    explicit DownloadPage(HWND parent)
        : TransferPage(IDD, parent, PageKind::Download, IDC_DOWNLOADING, "IDC_DOWNLOADING")
    {
    }

protected:
    BOOL OnInitDialog() override;
    void OnTransferEnded(const std::optional<std::string>& package) override;
};
