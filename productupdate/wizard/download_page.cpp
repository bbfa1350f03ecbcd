#include "download_page.h"

#include "package/held_package.h"
#include "i18n/language.h"
#include "package/kept_package.h"
#include "package/package_launch.h"
#include "update_check/update_server.h"
#include "error_page.h"
#include "wizard_frame.h"

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
    if (!package) {
        OnDownloadFailed(*frame);
        return;
    }
    // Held, and checked again, until it has been copied or started.
    if (framework::FileHandle held = HoldPackage(*package, frame->packagePin)) {
        LaunchPackage(*frame, *package);
    } else {
        DeleteFileA(package->c_str());
    }
    frame->DestroyWindow();
}

// A hidden run simply ends; a shown one says so, and its OK leads to the
// product's download page.
void DownloadPage::OnDownloadFailed(WizardFrame& frame)
{
    if (frame.startHidden) {
        frame.DestroyWindow();
        return;
    }
    auto page = std::make_unique<ErrorPage>(parent());
    page->errorText = LoadLocalizedString("IDS_DOWNLOADERROR", IDS_DOWNLOAD_ERROR);
    page->okOpens = kProductSite;
    if (!frame.ReplacePage(std::move(page)))  // this page is gone on success
        frame.DestroyWindow();
}
