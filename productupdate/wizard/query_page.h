// The page that fetches the update manifest, moves its bar while it
// arrives, has it evaluated and moves the wizard on.
#pragma once

#include <optional>
#include <string>

#include "resources/resource.h"
#include "transfer_page.h"

class QueryPage : public TransferPage {
public:
    enum { IDD = IDD_QUERY_PAGE };
    explicit QueryPage(HWND parent)
        : TransferPage(IDD, parent, PageKind::Query, IDC_QUERYING, "IDC_QUERYING")
    {
    }

protected:
    // Starts the manifest download.
    BOOL OnInitDialog() override { return StartManifestQuery(); }
    void OnTransferEnded(const std::optional<std::string>& manifest) override;

private:
    BOOL StartManifestQuery();
    void OnManifestFailed();
    void OnManifestReady(const std::string& manifestPath);

    std::string channel_;  // the manifest path asked for, which a signed manifest names
};
