// The last page of a shown run whose update check failed.
#pragma once

#include <string>
#include <utility>

#include "resources/resource.h"
#include "wizard_page.h"

class ErrorPage : public WizardPage {
public:
    enum { IDD = IDD_ERROR_PAGE };
    // okOpens is a page the frame's OK opens in the user's browser, for an
    // error the user can get round there; empty: OK stays disabled.
    ErrorPage(HWND parent, std::string text, std::string okOpens = {})
        : WizardPage(IDD, parent), errorText(std::move(text)), okOpens(std::move(okOpens))
    {
    }

    std::string errorText;
    const std::string okOpens;

    void OnFrameOk() override;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(framework::DataExchange& exchange) override;
};
