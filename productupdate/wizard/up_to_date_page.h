// The last page of a shown run that found no update. Its texts are those of
// its template.
#pragma once

#include "wizard_page.h"

class UpToDatePage : public WizardPage {
public:
    enum { IDD = 9000 };
    explicit UpToDatePage(HWND parent) : WizardPage(IDD, parent) {}

protected:
    BOOL OnInitDialog() override;
};
