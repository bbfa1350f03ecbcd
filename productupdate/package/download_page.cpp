#include "download_page.h"

#include "held_package.h"
#include "mirror_pick.h"
#include "package_launch.h"
#include "wizard/wizard_frame.h"

BOOL DownloadPage::OnInitDownload()
{
    WizardPage::OnInitDialog();
    // Exactly one of the alternatives is fetched. An empty list (which the
    // decision never offers) fails like a transfer of no URL.
    std::string url;
    if (!m_urls.empty())
        url = m_urls[PickMirror(m_urls.size())];
    WizardFrame* frame = Frame();
    StartTransfer(url, frame && frame->testMode ? "VLNRUpdatePackT.exe" : "VLNRUpdatePack.exe",
                  frame ? frame->packagePin : PackagePin{});
    return TRUE;
}

void DownloadPage::OnTransferEnded(const std::optional<std::string>& package)
{
    WizardFrame* frame = Frame();
    if (!frame)
        return;
    if (package) {
        // Held, and checked again, until it has been copied or started.
        if (framework::FileHandle held = HoldPackage(*package, frame->packagePin)) {
            LaunchPackage(*frame, *package);
        } else {
            DeleteFileA(package->c_str());
        }
    }
    frame->DestroyWindow();
}
