#include "welcome_page.h"

#include "i18n/language.h"
#include "resources/resource.h"
#include "wizard_frame.h"

BOOL WelcomePage::OnInitDialog()
{
    WizardPage::OnInitDialog();
    SetLocalizedItemText(PageLanguage(), hwnd(), IDC_UPDATEHELP, "IDC_UPDATEHELP");
    SetLocalizedItemText(PageLanguage(), hwnd(), IDC_NEXTQUERY, "IDC_NEXTQUERY");
    if (WizardFrame* frame = Frame())
        frame->ApplyButtons(PageKind::Welcome);
    return TRUE;
}

int WelcomePage::OnNext()
{
    if (WizardFrame* frame = Frame())
        frame->MoveOn(StepOutcome::Next);  // this page is gone afterwards
    return 0;
}
