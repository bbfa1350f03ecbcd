#include "query_page.h"

#include "update_check/evaluate_manifest.h"
#include "framework/debug_output.h"
#include "framework/path.h"
#include "i18n/language.h"
#include "update_check/manifest_location.h"
#include "download_page.h"
#include "package/kept_package.h"
#include "resources/resource.h"
#include "signing/manifest_trust.h"
#include "startup/module_context.h"
#include "error_page.h"
#include "up_to_date_page.h"
#include "wizard_frame.h"

namespace {
// Far beyond any real manifest, which is a few hundred bytes: a larger one
// is never fetched, let alone parsed.
constexpr std::uint64_t kManifestLimit = 1 << 20;
}  // namespace

BOOL QueryPage::StartManifestQuery()
{
    WizardPage::OnInitDialog();
    WizardFrame* frame = Frame();
    bool testMode = frame && frame->testMode != 0;
    std::string company;
    if (!testMode)
        company = framework::ReadProfileString("Version", "company", "self", Module().iniFilePath);
    ManifestLocation manifest = ChooseManifest(testMode, Module().manifestUrlOverride, company);
    channel_ = manifest.channel;
    StartTransfer(manifest.url, manifest.fileName, {}, kManifestLimit);
    m_progress.SetRange(0, 100);
    return TRUE;
}

void QueryPage::OnTransferEnded(const std::optional<std::string>& manifest)
{
    if (manifest)
        OnManifestReady(*manifest);
    else
        OnManifestFailed();
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
    // A build whose key does not read trusts no manifest: it was meant to check.
    if (Module().updateKeyUnreadable) {
        framework::DebugOutput("Update key unreadable");
        DeleteFileA(manifestPath.c_str());
        OnManifestFailed();
        return;
    }
    // A manifest that this build cannot trust is no manifest at all. The
    // file is gone after this.
    std::optional<UpdateManifest> manifest = AcceptManifest(manifestPath, channel_, Module().updateKeys);
    if (!manifest) {
        OnManifestFailed();
        return;
    }
    int force = 0;
    std::vector<std::string> urls;
    std::string info;  // the update's description: nothing shows it
    if (EvaluateManifest(*manifest, *frame, force, urls, info)) {
        frame->forceUpdate = force;
        if (!frame->ReplacePage(std::make_unique<DownloadPage>(urls, parent())))
            frame->DestroyWindow();
        return;
    }
    DiscardKeptPackage(frame->testMode != 0);
    frame->runFinished = 1;
    if (frame->interactive && frame->ReplacePage(std::make_unique<UpToDatePage>(parent())))
        return;
    frame->DestroyWindow();
}
