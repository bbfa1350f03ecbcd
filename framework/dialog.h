// A dialog window bound to a C++ object, created from a template of this
// module, with its messages dispatched to virtual handlers.
#pragma once

#include <string>

#include "win.h"

namespace framework {

class DataExchange;

// Flags of RunModalLoop.
constexpr DWORD kModalNoIdleMessage = 0x0001;
constexpr DWORD kModalShowOnIdle = 0x0004;

class Dialog {
public:
    explicit Dialog(UINT templateId);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // The template in this module's resources; null when it cannot be found,
    // loaded or locked.
    const DLGTEMPLATE* LoadTemplate() const;
    // Creates the window, hidden unless the template says otherwise, as a
    // modeless dialog. OnInitDialog runs inside. False when no window came of it.
    bool Create(HWND parent);
    bool CreateIndirect(const DLGTEMPLATE* dialogTemplate, HWND parent);

    HWND hwnd() const { return hwnd_; }
    UINT templateId() const { return templateId_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

    // The object of one of our dialogs; null for any other window.
    static Dialog* FromHandle(HWND window);

    virtual BOOL DestroyWindow();

    // Marks the start of a modal run, before the window is created, so that
    // an EndDialog during the window's initialisation ends the run at once.
    void BeginModalState() { continueModal_ = true; }
    // The modal loop of a modeless window: runs until EndDialog is called
    // (or the window is gone, or WM_QUIT arrives) and returns the result.
    // An exception of a handler of any of our dialogs on this thread leaves
    // the loop (and Create) as it was thrown.
    int RunModalLoop(DWORD flags);
    // Ends a modal run with this result; after the run it changes nothing.
    void EndDialog(int result);
    bool ContinueModal() const { return continueModal_; }
    int modalResult() const { return modalResult_; }
    void setModalResult(int result) { modalResult_ = result; }

    void UpdateData(bool saveAndValidate);

protected:
    // Exchanges the data into the controls (DoDataExchange) and returns TRUE.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(DataExchange&) {}
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // WM_COMMAND; the base routes the clicks of IDOK and IDCANCEL to OnOK and OnCancel.
    virtual bool OnCommand(WORD id, WORD code);
    // Any other message. True when handled; result is then the message's result.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The window is gone; an object that owns itself may delete itself here.
    virtual void OnNcDestroy() {}
    // A message of the modal loop on its way to this window or a child of it.
    // True when it was handled and must not be dispatched.
    virtual bool PreTranslateMessage(MSG& msg);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // True when the message was handled, with its result; may delete this.
    bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool PreTranslateChain(MSG& msg);
    void ShowAfterIdle();

    UINT templateId_;
    HWND hwnd_ = nullptr;
    bool continueModal_ = false;
    int modalResult_ = -1;
};

std::string WindowText(HWND window);

}  // namespace framework
