#include "error_page.h"

#include "framework/data_exchange.h"
#include "resources/resource.h"
#include "wizard_frame.h"

void ErrorPage::DoDataExchange(framework::DataExchange& exchange)
{
    exchange.Text(IDC_ERRORTEXT, errorText);
}

BOOL ErrorPage::OnInitDialog()
{
    WizardPage::OnInitDialog();
    if (WizardFrame* frame = Frame()) {
        frame->ApplyButtons(PageKind::Error);
        frame->runFinished = 1;
    }
    return TRUE;
}
