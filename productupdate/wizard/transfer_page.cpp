#include "transfer_page.h"

#include "framework/data_exchange.h"
#include "i18n/language.h"
#include "resources/resource.h"
#include "transfer/download_folder.h"
#include "transfer/update_session.h"
#include "wizard_frame.h"

TransferPage::TransferPage(UINT templateId, HWND parent, PageKind kind, int statusId,
                           const char* statusKey)
    : WizardPage(templateId, parent), kind_(kind), statusId_(statusId), statusKey_(statusKey)
{
}

void TransferPage::DoDataExchange(framework::DataExchange& exchange)
{
    WizardPage::DoDataExchange(exchange);
    exchange.Control(IDC_PROGRESS, m_progress);
}

void TransferPage::StartTransfer(const Fetch& fetch)
{
    LaunchUpdateSession(fetch.url, DownloadPath(fetch.fileName), hwnd(), fetch.pin,
                        fetch.maxLength, fetch.resumable);

    SetLocalizedItemText(PageLanguage(), hwnd(), IDC_WELCOMETIP, "IDC_WELCOMETIP");
    SetLocalizedItemText(PageLanguage(), hwnd(), statusId_, statusKey_);
    if (WizardFrame* frame = Frame())
        frame->ApplyButtons(kind_);
}

bool TransferPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message != WM_DOWNLOAD_NOTICE)
        return WizardPage::OnMessage(message, wParam, lParam, result);
    result = OnDownloadNotice(wParam, lParam);
    return true;
}

LRESULT TransferPage::OnDownloadNotice(WPARAM wParam, LPARAM lParam)
{
    const auto* notice = reinterpret_cast<const DownloadNotice*>(lParam);
    if (!notice || notice->kind == 0)
        return 0;
    if (notice->failed)
        OnTransferEnded(std::nullopt);
    else if (notice->succeeded)
        OnTransferEnded(reinterpret_cast<UpdateSession*>(wParam)->m_strFile);
    else
        m_progress.SetPos(static_cast<int>(notice->percent));
    return 0;
}
