#include "query_page.h"

#include "wizard_frame.h"

BOOL QueryPage::OnInitDialog()
{
    WizardPage::OnInitDialog();
    if (UpdateRun* run = Run())
        StartTransfer(run->ManifestToFetch());
    m_progress.SetRange(0, 100);
    return TRUE;
}

void QueryPage::OnTransferEnded(const std::optional<std::string>& manifest)
{
    if (WizardFrame* frame = Frame())
        frame->MoveOn(frame->run().ManifestFetched(manifest));  // this page is gone afterwards
}
