// The one top-level window of an update run: a fixed dialog with a picture,
// four buttons and a page area that shows one page at a time. In an
// automatic check it stays hidden from start to end. It owns its pages and
// moves between them in the order of kPageOrder.
#pragma once

#include <memory>

#include "framework/dialog.h"
#include "page_buttons.h"
#include "resources/resource.h"
#include "run/run_view.h"
#include "run/update_run.h"
#include "wizard_page.h"

// Sent by the product's tray code; shows or minimises the frame.
constexpr UINT WM_FRAME_MOUSE_NOTIFY = WM_USER + 460;

class WizardFrame : public framework::Dialog, public RunView {
public:
    enum { IDD = IDD_WIZARD_FRAME };

    explicit WizardFrame(UpdateRun& run, HWND parent = nullptr);
    // Destroys the window that outlives the modal run, with its last page;
    // that closes the run's instanceMutex.
    ~WizardFrame() override;

    // Runs the wizard: IDOK when a page closed it, IDCANCEL after Cancel, -1
    // when the template is missing or the run broke. The window survives, hidden.
    int DoModal() override;
    // Closes the wizard: during a modal run it only ends the run.
    BOOL DestroyWindow() override;

    void ShowButton(int id, int show);
    void EnableButton(int id, BOOL enable);
    void ApplyButtons(PageKind page);

    // The current page's step came to outcome: the page that kPageOrder
    // names replaces it, or the run ends. The page that calls touches
    // nothing of its own afterwards.
    void MoveOn(StepOutcome outcome);

    UpdateRun& run() const { return run_; }
    WizardPage* CurrentPage() const { return page_.get(); }

    // The frame of a page window; null when the page's parent is no frame.
    static WizardFrame* OfPage(HWND parent);

    int inModalRun = 0;
    RECT pageRect = {175, 3, 480, 263};
    HICON icon;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnCommand(WORD id, WORD code) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool PreTranslateMessage(MSG& msg) override;
    void OnNcDestroy() override;

private:
    std::unique_ptr<WizardPage> MakePage(PageKind kind);
    void PlaceFirstPage(PageKind kind);
    bool ReplacePage(PageKind kind);
    void PlacePage(WizardPage* page);
    void CenterOnScreen();
    bool PaintMinimised();
    void OnMouseNotify(LPARAM mouseMessage);

    UpdateRun& run_;
    HWND parent_;
    PageKind pageKind_ = PageKind::Welcome;
    std::unique_ptr<WizardPage> page_;
    // The page just replaced. Its window is gone, but the handler that moved
    // the run on may still be on the stack, so the object stays until the next move.
    std::unique_ptr<WizardPage> leftPage_;
};
