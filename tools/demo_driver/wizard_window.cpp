#include "wizard_window.h"

#include "productupdate/resources/resource.h"

namespace {

const char kWizardCaption[] = "Velnor Update";
const char kDialogClass[] = "#32770";

// Controls that only one page's template holds.
const struct {
    int control;
    WizardPage page;
} kPageMarks[] = {
    {IDC_NEXTQUERY, WizardPage::Welcome}, {IDC_QUERYING, WizardPage::Query},
    {IDC_DOWNLOADING, WizardPage::Download}, {IDC_THANKS, WizardPage::UpToDate},
    {IDC_ERRORTEXT, WizardPage::Error},
};
const DWORD kClickTimeoutMs = 10000;

struct Search {
    int id;
    HWND found;
};

BOOL CALLBACK MatchVisibleControl(HWND child, LPARAM parameter)
{
    auto* search = reinterpret_cast<Search*>(parameter);
    if (GetDlgCtrlID(child) != search->id || !IsWindowVisible(child))
        return TRUE;
    search->found = child;
    return FALSE;
}

// A visible control with this id anywhere below the frame: pages are child
// dialogs, and the hidden ones leave their controls invisible too.
HWND VisibleControl(HWND frame, int id)
{
    Search search = {id, nullptr};
    EnumChildWindows(frame, MatchVisibleControl, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

const char* PageName(WizardPage page)
{
    switch (page) {
    case WizardPage::Welcome: return "welcome";
    case WizardPage::Query: return "query";
    case WizardPage::Download: return "download";
    case WizardPage::UpToDate: return "up-to-date";
    case WizardPage::Error: return "error";
    default: return "none";
    }
}

HWND FindShownWizard()
{
    HWND frame = FindWindowA(kDialogClass, kWizardCaption);
    return frame && IsWindowVisible(frame) ? frame : nullptr;
}

WizardPage ShownPage(HWND frame)
{
    for (const auto& mark : kPageMarks) {
        if (VisibleControl(frame, mark.control))
            return mark.page;
    }
    return WizardPage::None;
}

int ProgressPosition(HWND frame)
{
    HWND bar = VisibleControl(frame, IDC_PROGRESS);
    if (!bar)
        return -1;
    DWORD_PTR position = 0;
    if (!SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kClickTimeoutMs, &position))
        return -1;
    return static_cast<int>(position);
}

bool ClickFrameButton(HWND frame, int id)
{
    HWND button = GetDlgItem(frame, id);
    if (!button || !IsWindowVisible(button) || !IsWindowEnabled(button))
        return false;
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kClickTimeoutMs, &ignored) != 0;
}
