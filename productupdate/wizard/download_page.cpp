#include "download_page.h"

#include "wizard_frame.h"

BOOL DownloadPage::OnInitDialog()
{
    WizardPage::OnInitDialog();
    if (UpdateRun* run = Run())
        StartTransfer(run->PackageToFetch());
    return TRUE;
}

void DownloadPage::OnTransferEnded(const std::optional<std::string>& package)
{
    if (WizardFrame* frame = Frame())
        frame->MoveOn(frame->run().PackageFetched(package));  // this page is gone afterwards
}
