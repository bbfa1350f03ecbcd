#include "dialog.h"

#include <exception>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app.h"
#include "data_exchange.h"

namespace framework {

namespace {

// Which of the process's windows are our dialogs, and their objects. Kept
// here rather than in a window property or DWLP_USER: a window value of
// another program's dialog could be mistaken for ours, and under Wine every
// property read is a round trip to the window server, on every message.
class DialogRegistry {
public:
    void Add(HWND window, Dialog* dialog)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dialogs_[window] = dialog;
    }
    void Remove(HWND window)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dialogs_.erase(window);
    }
    Dialog* Find(HWND window)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = dialogs_.find(window);
        return found == dialogs_.end() ? nullptr : found->second;
    }

private:
    std::mutex mutex_;
    std::unordered_map<HWND, Dialog*> dialogs_;
};

DialogRegistry& Dialogs()
{
    static DialogRegistry registry;
    return registry;
}

// For these messages a dialog procedure returns the result itself instead
// of storing it in DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message)
{
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

// An exception of a handler on this thread, held while the system's dialog
// code, which it must not unwind through, returns to our code that called
// into it; that code throws it again (see RethrowHandlerException).
thread_local std::exception_ptr handlerException;

void RethrowHandlerException()
{
    if (handlerException)
        std::rethrow_exception(std::exchange(handlerException, nullptr));
}

// A handled message's result for the system. Only the window handle is used:
// the handler may have deleted the dialog's object (a page that replaces
// itself), and a window whose object is gone gets nothing written.
INT_PTR StoreResult(HWND window, UINT message, LRESULT result)
{
    if (ReturnsResultDirectly(message))
        return static_cast<INT_PTR>(result);
    // Under Wine a window value is read in the process but written through
    // the window server: most results are 0 and stored already.
    if (Dialog::FromHandle(window) && GetWindowLongPtrA(window, DWLP_MSGRESULT) != result)
        SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace

Dialog::Dialog(UINT templateId) : templateId_(templateId) {}

Dialog::~Dialog()
{
    if (hwnd_) {
        // The object goes first: the window must not call back into it.
        Dialogs().Remove(hwnd_);
        HWND window = hwnd_;
        hwnd_ = nullptr;
        ::DestroyWindow(window);
    }
}

const DLGTEMPLATE* Dialog::LoadTemplate() const
{
    HINSTANCE module = ModuleInstance();
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(templateId_), RT_DIALOG);
    if (!resource)
        return nullptr;
    HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded)
        return nullptr;
    return static_cast<const DLGTEMPLATE*>(LockResource(loaded));
}

bool Dialog::Create(HWND parent)
{
    const DLGTEMPLATE* dialogTemplate = LoadTemplate();
    return dialogTemplate && CreateIndirect(dialogTemplate, parent);
}

bool Dialog::CreateIndirect(const DLGTEMPLATE* dialogTemplate, HWND parent)
{
    HWND window = CreateDialogIndirectParamA(ModuleInstance(), dialogTemplate, parent, DialogProc,
                                             reinterpret_cast<LPARAM>(this));
    RethrowHandlerException();
    return window != nullptr;
}

Dialog* Dialog::FromHandle(HWND window)
{
    return window ? Dialogs().Find(window) : nullptr;
}

BOOL Dialog::DestroyWindow() { return hwnd_ ? ::DestroyWindow(hwnd_) : FALSE; }

void Dialog::EndDialog(int result)
{
    if (!continueModal_)
        return;
    modalResult_ = result;
    continueModal_ = false;
    if (hwnd_)
        PostMessageA(hwnd_, WM_NULL, 0, 0);  // wakes a loop that waits for a message
}

void Dialog::UpdateData(bool saveAndValidate)
{
    DataExchange exchange(hwnd_, saveAndValidate);
    DoDataExchange(exchange);
}

BOOL Dialog::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

bool Dialog::OnCommand(WORD id, WORD code)
{
    if (code != BN_CLICKED)
        return false;
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

bool Dialog::PreTranslateMessage(MSG& msg)
{
    bool input = (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
                 (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST);
    return input && IsDialogMessageA(hwnd_, &msg);
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Dialog* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->hwnd_ = window;
        Dialogs().Add(window, self);
    } else {
        self = FromHandle(window);
    }
    if (!self)
        return FALSE;
    try {
        LRESULT result = 0;
        if (!self->Dispatch(message, wParam, lParam, result))  // may delete self
            return FALSE;
        return StoreResult(window, message, result);
    } catch (...) {
        // Nothing may unwind through the system's dialog code: the exception
        // waits for our code that called into it.
        if (!handlerException)
            handlerException = std::current_exception();
        return FALSE;
    }
}

bool Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_INITDIALOG:
        result = OnInitDialog();
        return true;
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_NCDESTROY:
        Dialogs().Remove(hwnd_);
        hwnd_ = nullptr;
        OnNcDestroy();  // may delete this
        return false;
    default:
        return OnMessage(message, wParam, lParam, result);
    }
}

bool Dialog::PreTranslateChain(MSG& msg)
{
    // From the target window up to this one, each of our dialogs may take the message.
    for (HWND window = msg.hwnd; window; window = GetParent(window)) {
        Dialog* dialog = FromHandle(window);
        if (dialog && dialog->PreTranslateMessage(msg))
            return true;
        if (window == hwnd_)
            break;
    }
    return false;
}

void Dialog::ShowAfterIdle()
{
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
}

int Dialog::RunModalLoop(DWORD flags)
{
    bool showOnIdle = (flags & kModalShowOnIdle) != 0;
    MSG msg;
    while (continueModal_ && hwnd_) {
        if (showOnIdle && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            ShowAfterIdle();
            showOnIdle = false;
        }
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // leave WM_QUIT for the outer loop
            continueModal_ = false;
            modalResult_ = -1;
            break;
        }
        if (got == -1)
            break;
        if (!PreTranslateChain(msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        RethrowHandlerException();
    }
    continueModal_ = false;
    return modalResult_;
}

std::string WindowText(HWND window)
{
    int length = GetWindowTextLengthA(window);
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    int n = GetWindowTextA(window, buffer.data(), length + 1);
    return std::string(buffer.data(), n > 0 ? n : 0);
}

}  // namespace framework
