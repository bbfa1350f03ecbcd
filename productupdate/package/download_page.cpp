#include "download_page.h"

#include <cstdlib>

#include "framework/data_exchange.h"
#include "framework/path.h"
#include "i18n/language.h"
#include "mirror_pick.h"
#include "package_launch.h"
#include "resources/resource.h"
#include "transfer/update_session.h"
#include "update_check/manifest_location.h"
#include "wizard/wizard_frame.h"

namespace {

bool IsEmptyFile(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
           data.nFileSizeLow == 0 && data.nFileSizeHigh == 0;
}

}  // namespace

void DownloadPage::DoDataExchange(framework::DataExchange& exchange)
{
    WizardPage::DoDataExchange(exchange);
    exchange.Control(IDC_PROGRESS, m_progress);
}

BOOL DownloadPage::OnInitDownload()
{
    WizardPage::OnInitDialog();
    // Exactly one of the alternatives is fetched. An empty list (which the
    // decision never offers) fails like a transfer of no URL.
    std::string url;
    if (!m_urls.empty())
        url = m_urls[PickMirror(m_urls.size())];

    WizardFrame* frame = Frame();
    std::string file = DownloadFolder();
    framework::AppendPath(file, frame && frame->testMode ? "VLNRUpdatePackT.exe" : "VLNRUpdatePack.exe");
    LaunchUpdateSession(url, file, hwnd(), frame ? frame->packagePin : PackagePin{});

    SetLocalizedItemText(hwnd(), IDC_WELCOMETIP, "IDC_WELCOMETIP");
    SetLocalizedItemText(hwnd(), IDC_DOWNLOADING, "IDC_DOWNLOADING");
    if (frame)
        frame->ApplyButtons(PageKind::Download);
    return TRUE;
}

bool DownloadPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message != WM_DOWNLOAD_NOTICE)
        return WizardPage::OnMessage(message, wParam, lParam, result);
    result = OnDownloadNotice(wParam, lParam);
    return true;
}

LRESULT DownloadPage::OnDownloadNotice(WPARAM wParam, LPARAM lParam)
{
    const auto* notice = reinterpret_cast<const DownloadNotice*>(lParam);
    if (!notice || notice->kind == 0)
        return 0;
    WizardFrame* frame = Frame();
    if (notice->failed) {
        if (frame)
            frame->DestroyWindow();
    } else if (notice->succeeded) {
        // The session is gone once this notice returns: take the path now.
        std::string package = reinterpret_cast<UpdateSession*>(wParam)->m_strFile;
        if (frame) {
            // An empty file is no package, whatever length the server
            // declared: recorded, it would offer an update that cannot run.
            if (IsEmptyFile(package))
                DeleteFileA(package.c_str());
            else
                LaunchPackage(*frame, package);
            frame->DestroyWindow();
        }
    } else {
        m_progress.SetPos(static_cast<int>(notice->percent));
    }
    return 0;
}
