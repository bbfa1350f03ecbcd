// Takes the update wizard of a shown run through its pages as a user would,
// for the demo's screenshots: waits for the wizard, saves a picture of each
// page asked for when that page has something to show, clicks Next on the
// welcome page and Cancel on the last pages.
//   demo_driver.exe FOLDER [PAGE...]
// PAGE is welcome, query, download, up-to-date or error; FOLDER receives
// PAGE.bmp. One line on standard output for each picture saved.
#include <cstdio>
#include <exception>
#include <set>
#include <string>

#include "productupdate/resources/resource.h"
#include "screen_capture.h"
#include "wizard_window.h"

namespace {

const DWORD kAppearTimeoutMs = 60000;
const DWORD kRunTimeoutMs = 180000;
const DWORD kPollMs = 50;
// Long enough for a page to have painted itself after it was shown.
const DWORD kSettleMs = 500;
// A bar between these is partly filled: the picture shows it moving.
const int kLowestPosition = 20;
const int kHighestPosition = 80;

void Say(const std::string& line)
{
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

int Fail(const std::string& line)
{
    std::fputs(("demo_driver: " + line + "\n").c_str(), stderr);
    return 1;
}

bool HasProgressBar(WizardPage page)
{
    return page == WizardPage::Query || page == WizardPage::Download;
}

// A page is worth a picture once it has painted itself; a page with a bar
// once the bar is partly filled (or already past that).
bool ReadyForPicture(HWND frame, WizardPage page, DWORD shownSince)
{
    if (GetTickCount() - shownSince < kSettleMs)
        return false;
    return !HasProgressBar(page) || ProgressPosition(frame) >= kLowestPosition;
}

// Moves the wizard on where it waits for the user.
void ActOn(HWND frame, WizardPage page)
{
    if (page == WizardPage::Welcome)
        ClickFrameButton(frame, IDC_NEXT);
    else if (page == WizardPage::UpToDate || page == WizardPage::Error)
        ClickFrameButton(frame, IDCANCEL);
}

class Tour {
public:
    Tour(std::string folder, std::set<std::string> wanted)
        : folder_(std::move(folder)), wanted_(std::move(wanted))
    {
    }

    int Run()
    {
        HWND frame = WaitForWizard();
        if (!frame)
            return Fail("no wizard window \"Velnor Update\" appeared within a minute");
        DWORD start = GetTickCount();
        while (IsWindow(frame)) {
            if (GetTickCount() - start > kRunTimeoutMs)
                return Fail("the wizard was still open after three minutes");
            Visit(frame, ShownPage(frame));
            Sleep(kPollMs);
        }
        return 0;
    }

private:
    static HWND WaitForWizard()
    {
        DWORD start = GetTickCount();
        for (;;) {
            if (HWND frame = FindShownWizard())
                return frame;
            if (GetTickCount() - start > kAppearTimeoutMs)
                return nullptr;
            Sleep(kPollMs);
        }
    }

    void Visit(HWND frame, WizardPage page)
    {
        if (page != current_) {
            current_ = page;
            shownSince_ = GetTickCount();
        }
        if (page == WizardPage::None || visited_.count(page) ||
            !ReadyForPicture(frame, page, shownSince_))
            return;
        visited_.insert(page);
        if (wanted_.count(PageName(page)))
            TakePicture(frame, page);
        ActOn(frame, page);
    }

    void TakePicture(HWND frame, WizardPage page)
    {
        int position = ProgressPosition(frame);
        std::string path = folder_ + "\\" + PageName(page) + ".bmp";
        if (!CaptureWindow(frame, path)) {
            Fail(std::string("could not save the picture of the ") + PageName(page) + " page");
            return;
        }
        std::string line = std::string("captured ") + PageName(page) + " " + path;
        if (position >= 0 && position <= kHighestPosition)
            line += " bar " + std::to_string(position) + "%";
        else if (position > kHighestPosition)
            line += " bar " + std::to_string(position) + "% (nearly full)";
        Say(line);
    }

    std::string folder_;
    std::set<std::string> wanted_;
    std::set<WizardPage> visited_;
    WizardPage current_ = WizardPage::None;
    DWORD shownSince_ = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    try {
        if (argc < 2)
            return Fail("usage: demo_driver.exe FOLDER [PAGE...]");
        return Tour(argv[1], std::set<std::string>(argv + 2, argv + argc)).Run();
    } catch (const std::exception& e) {
        return Fail(e.what());
    } catch (...) {
        return Fail("unexpected failure");
    }
}
