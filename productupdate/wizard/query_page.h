// The page that fetches the update manifest the run names, moves its bar
// while it arrives and hands the file to the run's decision.
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
    BOOL OnInitDialog() override;
    void OnTransferEnded(const std::optional<std::string>& manifest) override;
};
