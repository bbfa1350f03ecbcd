#include "welcome_page.h"

#include "i18n/language.h"
#include "resources/resource.h"
#include "query_page.h"
#include "wizard_frame.h"

BOOL WelcomePage::OnInitDialog()
{
    WizardPage::OnInitDialog();
    SetLocalizedItemText(hwnd(), IDC_UPDATEHELP, "IDC_UPDATEHELP");
    SetLocalizedItemText(hwnd(), IDC_NEXTQUERY, "IDC_NEXTQUERY");
    if (WizardFrame* frame = Frame())
        frame->ApplyButtons(PageKind::Welcome);
    return TRUE;
}

int WelcomePage::OnNext()
{
    if (WizardFrame* frame = Frame())
        frame->ReplacePage(std::make_unique<QueryPage>(parent()));  // this page is gone afterwards
    return 0;
}
