// The first page of a run the user asked for: what the wizard does, and Next.
#pragma once

#include "wizard_page.h"

class WelcomePage : public WizardPage {
public:
    enum { IDD = 105 };
    explicit WelcomePage(HWND parent) : WizardPage(IDD, parent) {}

    // Moves on to the query page.
    int OnNext() override;

protected:
    BOOL OnInitDialog() override;
};
