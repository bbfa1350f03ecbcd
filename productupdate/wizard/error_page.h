// The last page of a shown run whose update check failed.
#pragma once

#include <string>

#include "resources/resource.h"
#include "wizard_page.h"

class ErrorPage : public WizardPage {
public:
    enum { IDD = IDD_ERROR_PAGE };
    explicit ErrorPage(HWND parent) : WizardPage(IDD, parent) {}

    std::string errorText;  // set before the window is created
    // A page the frame's OK opens in the user's browser, for an error the
    // user can get round there; empty: OK stays disabled.
    std::string okOpens;

    void OnFrameOk() override;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(framework::DataExchange& exchange) override;
};
