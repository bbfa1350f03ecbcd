#include "download_page.h"

#include "mirror_pick.h"
#include "package_launch.h"
#include "wizard/wizard_frame.h"

namespace {

bool IsEmptyFile(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
           data.nFileSizeLow == 0 && data.nFileSizeHigh == 0;
}

}  // namespace

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
        // An empty file is no package, whatever length the server declared:
        // recorded, it would offer an update that cannot run.
        if (IsEmptyFile(*package))
            DeleteFileA(package->c_str());
        else
            LaunchPackage(*frame, *package);
    }
    frame->DestroyWindow();
}
