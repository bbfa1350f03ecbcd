// A page of the wizard: a child dialog in the frame's page area that owns
// itself and deletes itself when its window is destroyed.
#pragma once

#include "framework/dialog.h"

class WizardFrame;

class WizardPage : public framework::Dialog {
public:
    WizardPage(UINT templateId, HWND parent);

    // Creates the window, hidden, as a child of the parent. From then on the
    // page deletes itself with its window; when it fails, the creator still
    // owns the object.
    bool CreatePage();

    // Next was clicked; the result is not used.
    virtual int OnNext() { return 0; }
    // The frame is cancelling a run that has not finished.
    void OnCancel() override {}
    // The frame's OK was clicked; the run ends after it.
    virtual void OnFrameOk() {}

    HWND parent() const { return parent_; }
    // The frame this page lives in; null when its parent is no frame.
    WizardFrame* Frame() const;

protected:
    // A page never ends itself the way a dialog does on Enter or Escape.
    void OnOK() override {}
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnNcDestroy() override;

private:
    HWND parent_;
    bool ownsItself_ = false;
};
