// The first page of a run the user asked for: what the wizard does, and Next.
#pragma once

#include "resources/resource.h"
#include "wizard_page.h"

class WelcomePage : public WizardPage {
public:
    enum { IDD = IDD_WELCOME_PAGE };
    explicit WelcomePage(HWND parent) : WizardPage(IDD, parent) {}

    // Moves the run on to its next page.
    int OnNext() override;

protected:
    BOOL OnInitDialog() override;
};
