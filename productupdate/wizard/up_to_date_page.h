// The last page of a shown run that found no update. Its texts are those of
// its template.
#pragma once

#include "resources/resource.h"
#include "wizard_page.h"

class UpToDatePage : public WizardPage {
public:
    enum { IDD = IDD_UPTODATE_PAGE };
    explicit UpToDatePage(HWND parent) : WizardPage(IDD, parent) {}

protected:
    BOOL OnInitDialog() override;
};
