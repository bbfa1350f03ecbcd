// How the frame makes its pages, places them and moves between them in the
// order of kPageOrder.
#include "download_page.h"
#include "error_page.h"
#include "i18n/language.h"
#include "query_page.h"
#include "up_to_date_page.h"
#include "update_check/update_server.h"
#include "welcome_page.h"
#include "wizard_frame.h"

std::unique_ptr<WizardPage> WizardFrame::MakePage(PageKind kind)
{
    const Language& language = run_.language();
    switch (kind) {
    case PageKind::Welcome:
        return std::make_unique<WelcomePage>(hwnd());
    case PageKind::Query:
        return std::make_unique<QueryPage>(hwnd());
    case PageKind::Download:
        return std::make_unique<DownloadPage>(hwnd());
    case PageKind::UpToDate:
        return std::make_unique<UpToDatePage>(hwnd());
    case PageKind::Error:
        return std::make_unique<ErrorPage>(
            hwnd(), LoadLocalizedString(language, "IDS_SEARCHERROR", IDS_SEARCH_ERROR));
    case PageKind::DownloadError:
        // Its OK leads to the product's download page.
        return std::make_unique<ErrorPage>(
            hwnd(), LoadLocalizedString(language, "IDS_DOWNLOADERROR", IDS_DOWNLOAD_ERROR),
            kProductSite);
    }
    return nullptr;
}

void WizardFrame::PlaceFirstPage(PageKind kind)
{
    pageKind_ = kind;
    page_ = MakePage(kind);
    bool created = false;
    try {
        created = page_->CreatePage();
    } catch (...) {
        page_.reset();
        throw;
    }
    if (!created) {
        // A frame without a page has nothing that could ever end its run.
        page_.reset();
        EndDialog(-1);
        return;
    }
    ShowWindow(page_->hwnd(), SW_SHOW);
    MoveWindow(page_->hwnd(), pageRect.left, pageRect.top, pageRect.right - pageRect.left,
               pageRect.bottom - pageRect.top, TRUE);
}

void WizardFrame::MoveOn(StepOutcome outcome)
{
    const PageMove* move = FindNextPage(pageKind_, outcome);
    bool shown = move && (move->shownIn == ShownIn::AnyRun ||
                          (move->shownIn == ShownIn::ShownRun && !run_.startHidden) ||
                          (move->shownIn == ShownIn::InteractiveRun && run_.interactive));
    if (!shown) {
        DestroyWindow();
        return;
    }
    // After Next the welcome page stays when the next one cannot be made, and
    // the user may try again; a run that cannot show its step's page ends.
    if (!ReplacePage(move->to) && outcome != StepOutcome::Next)
        DestroyWindow();
}

bool WizardFrame::ReplacePage(PageKind kind)
{
    std::unique_ptr<WizardPage> next = MakePage(kind);
    if (!next->CreatePage())
        return false;
    leftPage_ = std::move(page_);
    page_ = std::move(next);
    pageKind_ = kind;
    if (leftPage_)
        ::DestroyWindow(leftPage_->hwnd());
    PlacePage(page_.get());
    return true;
}

void WizardFrame::PlacePage(WizardPage* page)
{
    MoveWindow(page->hwnd(), pageRect.left, pageRect.top, pageRect.right - pageRect.left,
               pageRect.bottom - pageRect.top, TRUE);
    ShowWindow(page->hwnd(), SW_SHOW);
    SetFocus(page->hwnd());
}
