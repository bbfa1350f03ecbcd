#include "query_page.h"

#include "evaluate_manifest.h"
#include "framework/data_exchange.h"
#include "framework/path.h"
#include "i18n/language.h"
#include "manifest_location.h"
#include "package/download_page.h"
#include "resources/resource.h"
#include "signing/manifest_trust.h"
#include "startup/module_state.h"
#include "transfer/update_session.h"
#include "wizard/error_page.h"
#include "wizard/up_to_date_page.h"
#include "wizard/wizard_frame.h"

void QueryPage::DoDataExchange(framework::DataExchange& exchange)
{
    WizardPage::DoDataExchange(exchange);
    exchange.Control(IDC_PROGRESS, m_progress);
}

BOOL QueryPage::StartManifestQuery()
{
    WizardPage::OnInitDialog();
    WizardFrame* frame = Frame();
    bool testMode = frame && frame->testMode != 0;
    std::string company;
    if (!testMode)
        company = framework::ReadProfileString("Version", "company", "self", Module().iniFilePath);
    ManifestLocation manifest = ChooseManifest(testMode, Module().manifestUrlOverride, company);

    std::string file = DownloadFolder();
    framework::AppendPath(file, manifest.fileName.c_str());
    LaunchUpdateSession(manifest.url, file, hwnd());

    SetLocalizedItemText(hwnd(), IDC_WELCOMETIP, "IDC_WELCOMETIP");
    SetLocalizedItemText(hwnd(), IDC_QUERYING, "IDC_QUERYING");
    if (frame)
        frame->ApplyButtons(PageKind::Query);
    m_progress.SetRange(0, 100);
    return TRUE;
}

bool QueryPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message != WM_DOWNLOAD_NOTICE)
        return WizardPage::OnMessage(message, wParam, lParam, result);
    result = OnQueryNotify(wParam, lParam);
    return true;
}

LRESULT QueryPage::OnQueryNotify(WPARAM wParam, LPARAM lParam)
{
    const auto* notice = reinterpret_cast<const DownloadNotice*>(lParam);
    if (!notice || notice->kind == 0)
        return 0;
    if (notice->failed)
        OnManifestFailed();
    else if (notice->succeeded)
        OnManifestReady(reinterpret_cast<UpdateSession*>(wParam)->m_strFile);
    else
        m_progress.SetPos(static_cast<int>(notice->percent));
    return 0;
}

// A hidden run simply ends; a shown one says so on the error page.
void QueryPage::OnManifestFailed()
{
    WizardFrame* frame = Frame();
    if (!frame)
        return;
    std::string text = LoadLocalizedString("IDS_SEARCHERROR", IDS_SEARCH_ERROR);
    if (frame->startHidden) {
        frame->DestroyWindow();
        return;
    }
    auto page = std::make_unique<ErrorPage>(parent());
    page->errorText = text;
    if (!frame->ReplacePage(std::move(page)))  // this page is gone on success
        frame->DestroyWindow();
}

void QueryPage::OnManifestReady(const std::string& manifestPath)
{
    WizardFrame* frame = Frame();
    if (!frame)
        return;
    // A manifest that this build cannot trust is no manifest at all.
    if (!AcceptManifest(manifestPath, Module().updateKeys)) {
        DeleteFileA(manifestPath.c_str());
        OnManifestFailed();
        return;
    }
    int force = 0;
    std::vector<std::string> urls;
    std::string info;
    if (EvaluateManifest(manifestPath, *frame, force, urls, info)) {
        frame->forceUpdate = force;
        auto page = std::make_unique<DownloadPage>(urls, parent());
        page->m_strInfo = info;
        if (!frame->ReplacePage(std::move(page)))
            frame->DestroyWindow();
        return;
    }
    frame->runFinished = 1;
    if (frame->interactive && frame->ReplacePage(std::make_unique<UpToDatePage>(parent())))
        return;
    frame->DestroyWindow();
}
