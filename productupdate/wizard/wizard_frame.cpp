#include "wizard_frame.h"

#include "framework/app.h"
#include "i18n/language.h"
#include "resources/resource.h"

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
