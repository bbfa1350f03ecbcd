// The one top-level window of an update run: a fixed dialog with a picture,
// four buttons and a page area that shows one page at a time. In an
// automatic check it stays hidden from start to end.
#pragma once

#include <memory>

#include "framework/dialog.h"
#include "page_buttons.h"
#include "resources/resource.h"
#include "run/run_parameters.h"

class WizardPage;

// Sent by the product's tray code; shows or minimises the frame.
constexpr UINT WM_FRAME_MOUSE_NOTIFY = WM_USER + 460;

class WizardFrame : public framework::Dialog, public RunParameters {
public:
    enum { IDD = IDD_WIZARD_FRAME };

    explicit WizardFrame(HWND parent = nullptr);
    // Destroys the window that outlives the modal run, with its last page;
    // that closes instanceMutex.
    ~WizardFrame() override;

    // Runs the wizard: IDOK when a page closed it, IDCANCEL after Cancel, -1
    // when the template is missing or the run broke. The window survives, hidden.
    int DoModal();
    // Closes the wizard: during a modal run it only ends the run.
    BOOL DestroyWindow() override;

    void ShowButton(int id, int show);
    void EnableButton(int id, BOOL enable);
    void ApplyButtons(PageKind page);

    // Creates the new page's window (its initialisation runs), puts it in the
    // place of the current page, whose window is destroyed and which deletes
    // itself, and shows it. A page that replaces itself touches nothing of
    // its own afterwards. False, with the new page deleted, when its window
    // could not be created.
    bool ReplacePage(std::unique_ptr<WizardPage> page);

    // The frame of a page window; null when the page's parent is no frame.
    static WizardFrame* OfPage(HWND parent);

    int inModalRun = 0;
    RECT pageRect = {175, 3, 480, 263};
    WizardPage* currentPage = nullptr;
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
    void PlaceFirstPage(std::unique_ptr<WizardPage> page);
    void PlacePage(WizardPage* page);
    void CenterOnScreen();
    bool PaintMinimised();
    void OnMouseNotify(LPARAM mouseMessage);

    HWND parent_;
};
