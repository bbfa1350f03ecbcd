#include "up_to_date_page.h"

#include "wizard_frame.h"

BOOL UpToDatePage::OnInitDialog()
{
    WizardPage::OnInitDialog();
    if (WizardFrame* frame = Frame())
        frame->ApplyButtons(PageKind::UpToDate);
    return TRUE;
}
