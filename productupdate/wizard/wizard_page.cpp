#include "wizard_page.h"

#include "wizard_frame.h"

WizardPage::WizardPage(UINT templateId, HWND parent) : Dialog(templateId), parent_(parent) {}

bool WizardPage::CreatePage() { return Create(parent_); }

WizardFrame* WizardPage::Frame() const { return WizardFrame::OfPage(parent_); }

UpdateRun* WizardPage::Run() const
{
    WizardFrame* frame = Frame();
    return frame ? &frame->run() : nullptr;
}

const Language& WizardPage::PageLanguage() const
{
    static const Language none;
    UpdateRun* run = Run();
    return run ? run->language() : none;
}

bool WizardPage::OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result)
{
    if (message != WM_SETFOCUS)
        return false;
    // The focus rests on the frame, where Enter and Escape are filtered. The
    // dialog's own default, giving the focus to the page's first control, is
    // left out, as the frame takes the focus from it anyway.
    if (parent_)
        SetFocus(parent_);
    result = 0;
    return true;
}
