// A page of the wizard: a child dialog in the frame's page area, a view of
// the run's current step. The frame makes it, owns it and replaces it.
#pragma once

#include "framework/dialog.h"

class UpdateRun;
class WizardFrame;
struct Language;

class WizardPage : public framework::Dialog {
public:
    WizardPage(UINT templateId, HWND parent);

    // Creates the window, hidden, as a child of the parent.
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
    // The run the frame shows; null when the parent is no frame.
    UpdateRun* Run() const;
    // The run's language; without a run, none (every text its fallback).
    const Language& PageLanguage() const;

protected:
    // A page never ends itself the way a dialog does on Enter or Escape.
    void OnOK() override {}
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    HWND parent_;
};
