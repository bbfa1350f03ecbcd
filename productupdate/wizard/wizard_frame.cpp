#include "wizard_frame.h"

#include "download_page.h"
#include "error_page.h"
#include "framework/app.h"
#include "i18n/language.h"
#include "query_page.h"
#include "resources/resource.h"
#include "up_to_date_page.h"
#include "update_check/update_server.h"
#include "welcome_page.h"

WizardFrame::WizardFrame(UpdateRun& run, HWND parent)
    : Dialog(IDD),
      icon(LoadIconA(framework::ModuleInstance(), MAKEINTRESOURCEA(IDI_PRODUCT))),
      run_(run),
      parent_(parent)
{
}

WizardFrame::~WizardFrame()
{
    // The real destruction, not the modal-run one of DestroyWindow; it
    // closes the mutex.
    if (hwnd())
        ::DestroyWindow(hwnd());
}

WizardFrame* WizardFrame::OfPage(HWND parent)
{
    return dynamic_cast<WizardFrame*>(Dialog::FromHandle(parent));
}

BOOL WizardFrame::OnInitDialog()
{
    Dialog::OnInitDialog();
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

    const Language& language = run_.language();
    SetLocalizedItemText(language, hwnd(), IDC_NEXT, "IDC_NEXT");
    SetLocalizedItemText(language, hwnd(), IDC_BEFORE, "IDC_BEFORE");
    // The string entries 1 and 2 are a progress format and a download error,
    // no button labels: without a language text, OK and Cancel keep theirs.
    std::string ok = LookupLanguageText(language, "IDOK");
    if (!ok.empty())
        SetDlgItemTextA(hwnd(), IDOK, ok.c_str());
    std::string cancel = LookupLanguageText(language, "IDCANCEL");
    if (!cancel.empty())
        SetDlgItemTextA(hwnd(), IDCANCEL, cancel.c_str());

    if (run_.startHidden) {
        PlaceFirstPage(PageKind::Query);
        ShowWindow(hwnd(), SW_HIDE);
    } else {
        PlaceFirstPage(PageKind::Welcome);
    }
    return TRUE;
}

std::unique_ptr<WizardPage> WizardFrame::MakePage(PageKind kind)
{
    const Language& language = run_.language();
    switch (kind) {
    case PageKind::Welcome:
        return std::make_unique<WelcomePage>(hwnd());
    case PageKind::Query:
        return std::make_unique<QueryPage>(hwnd());
    case PageKind::Download:
        return std::make_unique<DownloadPage>(hwnd());
    case PageKind::UpToDate:
        return std::make_unique<UpToDatePage>(hwnd());
    case PageKind::Error:
        return std::make_unique<ErrorPage>(
            hwnd(), LoadLocalizedString(language, "IDS_SEARCHERROR", IDS_SEARCH_ERROR));
    case PageKind::DownloadError:
        // Its OK leads to the product's download page.
        return std::make_unique<ErrorPage>(
            hwnd(), LoadLocalizedString(language, "IDS_DOWNLOADERROR", IDS_DOWNLOAD_ERROR),
            kProductSite);
    }
    return nullptr;
}

void WizardFrame::PlaceFirstPage(PageKind kind)
{
    pageKind_ = kind;
    page_ = MakePage(kind);
    bool created = false;
    try {
        created = page_->CreatePage();
    } catch (...) {
        page_.reset();
        throw;
    }
    if (!created) {
        // A frame without a page has nothing that could ever end its run.
        page_.reset();
        EndDialog(-1);
        return;
    }
    ShowWindow(page_->hwnd(), SW_SHOW);
    MoveWindow(page_->hwnd(), pageRect.left, pageRect.top, pageRect.right - pageRect.left,
               pageRect.bottom - pageRect.top, TRUE);
}

void WizardFrame::MoveOn(StepOutcome outcome)
{
    const PageMove* move = FindNextPage(pageKind_, outcome);
    bool shown = move && (move->shownIn == ShownIn::AnyRun ||
                          (move->shownIn == ShownIn::ShownRun && !run_.startHidden) ||
                          (move->shownIn == ShownIn::InteractiveRun && run_.interactive));
    if (!shown) {
        DestroyWindow();
        return;
    }
    // After Next the welcome page stays when the next one cannot be made, and
    // the user may try again; a run that cannot show its step's page ends.
    if (!ReplacePage(move->to) && outcome != StepOutcome::Next)
        DestroyWindow();
}

bool WizardFrame::ReplacePage(PageKind kind)
{
    std::unique_ptr<WizardPage> next = MakePage(kind);
    if (!next->CreatePage())
        return false;
    leftPage_ = std::move(page_);
    page_ = std::move(next);
    pageKind_ = kind;
    if (leftPage_)
        ::DestroyWindow(leftPage_->hwnd());
    PlacePage(page_.get());
    return true;
}

void WizardFrame::PlacePage(WizardPage* page)
{
    MoveWindow(page->hwnd(), pageRect.left, pageRect.top, pageRect.right - pageRect.left,
               pageRect.bottom - pageRect.top, TRUE);
    ShowWindow(page->hwnd(), SW_SHOW);
    SetFocus(page->hwnd());
}

void WizardFrame::ShowButton(int id, int show)
{
    if (HWND button = Item(id))
        ShowWindow(button, show);
}

void WizardFrame::EnableButton(int id, BOOL enable)
{
    if (HWND button = Item(id))
        EnableWindow(button, enable);
}

void WizardFrame::ApplyButtons(PageKind page)
{
    for (const FrameButton& button : ButtonsOf(page).buttons) {
        ShowButton(button.id, button.state == ButtonState::Hidden ? SW_HIDE : SW_SHOW);
        if (button.state != ButtonState::Hidden)
            EnableButton(button.id, button.state == ButtonState::Shown);
    }
}

bool WizardFrame::OnCommand(WORD id, WORD code)
{
    if (id == IDC_NEXT && code == BN_CLICKED) {
        if (page_)
            page_->OnNext();
        return true;
    }
    return Dialog::OnCommand(id, code);
}

void WizardFrame::OnOK()
{
    if (page_)
        page_->OnFrameOk();
    Dialog::OnOK();
}

void WizardFrame::OnCancel()
{
    if (!run_.runFinished && page_)
        page_->OnCancel();
    Dialog::OnCancel();
}

BOOL WizardFrame::DestroyWindow()
{
    if (inModalRun) {
        EndDialog(IDOK);
        return TRUE;
    }
    return Dialog::DestroyWindow();
}

void WizardFrame::ShowRun()
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);  // a host need not have loaded them
    DoModal();
}

int WizardFrame::DoModal()
{
    inModalRun = 1;
    const DLGTEMPLATE* dialogTemplate = LoadTemplate();
    if (!dialogTemplate)
        return -1;
    // The frame is its own top-level window; an owner is only the parent, if any.
    HWND owner = parent_;
    bool enableOwner = owner && IsWindowEnabled(owner);
    if (enableOwner)
        EnableWindow(owner, FALSE);

    setModalResult(-1);
    try {
        BeginModalState();
        if (CreateIndirect(dialogTemplate, owner)) {
            CenterOnScreen();
            if (ContinueModal()) {
                DWORD flags = run_.startHidden ? 0 : framework::kModalShowOnIdle;
                if (GetWindowLongA(hwnd(), GWL_STYLE) & DS_NOIDLEMSG)
                    flags |= framework::kModalNoIdleMessage;
                RunModalLoop(flags);
            }
        }
        if (hwnd())
            SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0,
                         SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    } catch (...) {
        setModalResult(-1);
    }
    int result = modalResult();
    if (enableOwner)
        EnableWindow(owner, TRUE);
    if (owner && GetActiveWindow() == hwnd())
        SetActiveWindow(owner);
    DestroyWindow();  // ends the run only: the window and its page stay until destruction
    return result;
}

void WizardFrame::CenterOnScreen()
{
    RECT window, area;
    GetWindowRect(hwnd(), &window);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    int width = window.right - window.left;
    int height = window.bottom - window.top;
    SetWindowPos(hwnd(), nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool WizardFrame::PreTranslateMessage(MSG& msg)
{
    // Enter never presses the default button and Escape never cancels.
    if (msg.message >= WM_KEYDOWN && msg.message <= WM_SYSDEADCHAR &&
        (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE))
        return true;
    return Dialog::PreTranslateMessage(msg);
}

bool WizardFrame::OnMessage(UINT message, WPARAM, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_PAINT:
        return PaintMinimised();
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(icon);
        return true;
    case WM_FRAME_MOUSE_NOTIFY:
        OnMouseNotify(lParam);
        result = 1;
        return true;
    default:
        return false;
    }
}

bool WizardFrame::PaintMinimised()
{
    if (!IsIconic(hwnd()))
        return false;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd(), &paint);
    SendMessageA(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(hwnd(), &client);
    int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon);
    EndPaint(hwnd(), &paint);
    return true;
}

void WizardFrame::OnMouseNotify(LPARAM mouseMessage)
{
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        if (!IsWindowVisible(hwnd())) {
            ShowWindow(hwnd(), SW_SHOW);
            PostMessageA(hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
        } else {
            PostMessageA(hwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
        }
    } else if (mouseMessage == WM_RBUTTONUP) {
        POINT cursor;
        GetCursorPos(&cursor);  // a place for a menu; the product shows none
    }
}

void WizardFrame::OnNcDestroy() { run_.instanceMutex.reset(); }
