// The dialog base under handlers that delete their own object or throw, and
// the wizard frame when its first page cannot come.
#include <stdexcept>

#include <gtest/gtest.h>

#include "framework/dialog.h"
#include "resources/resource.h"
#include "support/wizard_run.h"

namespace {

constexpr UINT kDeleteYourself = WM_APP + 1;

HWND victim;

// Deletes itself from a handler, as a page that replaces itself does. Its
// memory is never freed but filled with another window's handle, so that a
// read of any member after the delete names that window.
class SelfDeleting : public framework::Dialog {
public:
    SelfDeleting() : Dialog(IDD_WIZARD_FRAME) {}
    static void operator delete(void* memory, size_t size)
    {
        auto* slots = static_cast<HWND*>(memory);
        for (size_t i = 0; i < size / sizeof(HWND); ++i)
            slots[i] = victim;
    }

protected:
    bool OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result) override
    {
        if (message != kDeleteYourself)
            return false;
        delete this;
        result = 0x5A5A;
        return true;
    }
};

TEST(Dialog, NothingTouchesAnObjectThatItsHandlerDeleted)
{
    framework::Dialog other(IDD_WIZARD_FRAME);
    ASSERT_TRUE(other.Create(nullptr));
    victim = other.hwnd();
    SetWindowLongPtrA(victim, DWLP_MSGRESULT, 0);

    auto* dialog = new SelfDeleting;
    ASSERT_TRUE(dialog->Create(nullptr));
    HWND window = dialog->hwnd();
    SendMessageA(window, kDeleteYourself, 0, 0);

    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(GetWindowLongPtrA(victim, DWLP_MSGRESULT), 0) << "the freed object's handle was used";
}

class Throwing : public framework::Dialog {
public:
    explicit Throwing(UINT throwOn) : Dialog(IDD_WIZARD_FRAME), throwOn_(throwOn) {}

protected:
    BOOL OnInitDialog() override
    {
        if (throwOn_ == WM_INITDIALOG)
            throw std::runtime_error("init");
        return Dialog::OnInitDialog();
    }
    bool OnMessage(UINT message, WPARAM, LPARAM, LRESULT&) override
    {
        if (message == throwOn_)
            throw std::runtime_error("handler");
        return false;
    }

private:
    UINT throwOn_;
};

void CALLBACK EndLoopOfWindow(HWND window, UINT, UINT_PTR, DWORD)
{
    framework::Dialog::FromHandle(window)->EndDialog(IDABORT);
}

TEST(Dialog, AHandlersExceptionLeavesCreateAndTheModalLoop)
{
    Throwing failsAtInit(WM_INITDIALOG);
    EXPECT_THROW(failsAtInit.Create(nullptr), std::runtime_error);

    Throwing failsLater(WM_APP + 2);
    ASSERT_TRUE(failsLater.Create(nullptr));
    failsLater.BeginModalState();
    PostMessageA(failsLater.hwnd(), WM_APP + 2, 0, 0);
    // A loop that swallowed the exception would wait here for ever: end it.
    SetTimer(failsLater.hwnd(), 1, 10000, EndLoopOfWindow);
    EXPECT_THROW(failsLater.RunModalLoop(0), std::runtime_error);

    // The exception is gone once thrown: the next loop runs normally.
    failsLater.BeginModalState();
    failsLater.EndDialog(IDOK);
    EXPECT_EQ(failsLater.RunModalLoop(0), IDOK);
}

// A run that never ends holds its mode's mutex for every later run: a
// watchdog ends it as IDABORT instead, which then fails the test.
WizardFrame* running;

void CALLBACK EndRunningFrame(HWND, UINT, UINT_PTR, DWORD) { running->EndDialog(IDABORT); }

int RunWithWatchdog(WizardFrame& frame)
{
    running = &frame;
    UINT_PTR timer = SetTimer(nullptr, 0, 10000, EndRunningFrame);
    int result = frame.DoModal();
    KillTimer(nullptr, timer);
    return result;
}

class FailingFrame : public WizardFrame {
public:
    using WizardFrame::WizardFrame;

protected:
    BOOL OnInitDialog() override { throw std::runtime_error("init"); }
};

TEST(WizardFrame, ARunWhoseFirstPageCannotComeEndsWithMinusOne)
{
    // Without the progress bar's class the query page's window cannot be made.
    HINSTANCE controls = GetModuleHandleA("comctl32.dll");
    WNDCLASSEXA progress{};
    progress.cbSize = sizeof progress;
    ASSERT_TRUE(GetClassInfoExA(controls, PROGRESS_CLASSA, &progress));
    ASSERT_TRUE(UnregisterClassA(PROGRESS_CLASSA, controls));
    ModuleContext context;
    {
        WizardRun hidden(context, "", "");
        EXPECT_EQ(RunWithWatchdog(hidden), -1);
        EXPECT_EQ(hidden.CurrentPage(), nullptr);
    }
    RegisterClassExA(&progress);

    UpdateRun run(context);
    FailingFrame throwing(run);
    EXPECT_EQ(RunWithWatchdog(throwing), -1) << "an exception in the modal run ends it";
}

}  // namespace
