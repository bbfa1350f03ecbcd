#include "download_page.h"

#include "held_package.h"
#include "kept_package.h"
#include "package_launch.h"
#include "wizard/wizard_frame.h"

BOOL DownloadPage::OnInitDownload()
{
    WizardPage::OnInitDialog();
    // Exactly one of the alternatives is fetched. An empty list (which the
    // decision never offers) fails like a transfer of no URL.
    WizardFrame* frame = Frame();
    bool testMode = frame && frame->testMode;
    PackagePin pin = frame ? frame->packagePin : PackagePin{};
    StartTransfer(ChoosePackageCopy(m_urls, testMode, pin), PackageFileName(testMode), pin,
                  std::numeric_limits<std::uint64_t>::max(), true);
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
