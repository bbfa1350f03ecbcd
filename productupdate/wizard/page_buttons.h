// The wizard's pages in two tables: the order a run moves through them, and
// the frame's four buttons as each page shows them, which the pages apply
// and the tests check.
#pragma once

#include "resources/resource.h"
#include "run/step_outcome.h"

enum class PageKind { Welcome, Query, Error, DownloadError, UpToDate, Download };

enum class ButtonState { Hidden, Shown, ShownDisabled };

struct FrameButton {
    int id;
    ButtonState state;
};

struct PageButtons {
    PageKind page;
    FrameButton buttons[4];
};

//                Back (3003)                          Next (3002)                        OK (1)                          Cancel (2)
constexpr PageButtons kPageButtons[] = {
    {PageKind::Welcome,  {{IDC_BEFORE, ButtonState::Hidden}, {IDC_NEXT, ButtonState::Shown},  {IDOK, ButtonState::Hidden},        {IDCANCEL, ButtonState::Shown}}},
    {PageKind::Query,    {{IDC_BEFORE, ButtonState::Hidden}, {IDC_NEXT, ButtonState::Hidden}, {IDOK, ButtonState::ShownDisabled}, {IDCANCEL, ButtonState::Shown}}},
    {PageKind::Error,    {{IDC_BEFORE, ButtonState::Hidden}, {IDC_NEXT, ButtonState::Hidden}, {IDOK, ButtonState::ShownDisabled}, {IDCANCEL, ButtonState::Shown}}},
    // OK takes the user to the product's download page, as its text says.
    {PageKind::DownloadError, {{IDC_BEFORE, ButtonState::Hidden}, {IDC_NEXT, ButtonState::Hidden}, {IDOK, ButtonState::Shown}, {IDCANCEL, ButtonState::Shown}}},
    {PageKind::UpToDate, {{IDC_BEFORE, ButtonState::Hidden}, {IDC_NEXT, ButtonState::Hidden}, {IDOK, ButtonState::ShownDisabled}, {IDCANCEL, ButtonState::Shown}}},
    {PageKind::Download, {{IDC_BEFORE, ButtonState::Hidden}, {IDC_NEXT, ButtonState::Hidden}, {IDOK, ButtonState::ShownDisabled}, {IDCANCEL, ButtonState::Shown}}},
};

// Which runs show a page. A run that does not show it ends instead.
enum class ShownIn { AnyRun, ShownRun, InteractiveRun };

struct PageMove {
    PageKind from;
    StepOutcome outcome;
    PageKind to;
    ShownIn shownIn;
};

// The first page is the welcome page in a shown run, the query page in a
// hidden one. An outcome without a row ends the run.
constexpr PageMove kPageOrder[] = {
    {PageKind::Welcome,  StepOutcome::Next,           PageKind::Query,         ShownIn::AnyRun},
    {PageKind::Query,    StepOutcome::Offered,        PageKind::Download,      ShownIn::AnyRun},
    {PageKind::Query,    StepOutcome::NothingOffered, PageKind::UpToDate,      ShownIn::InteractiveRun},
    {PageKind::Query,    StepOutcome::Failed,         PageKind::Error,         ShownIn::ShownRun},
    {PageKind::Download, StepOutcome::Failed,         PageKind::DownloadError, ShownIn::ShownRun},
};

constexpr const PageMove* FindNextPage(PageKind from, StepOutcome outcome)
{
    for (const PageMove& row : kPageOrder) {
        if (row.from == from && row.outcome == outcome)
            return &row;
    }
    return nullptr;
}

constexpr const PageButtons& ButtonsOf(PageKind page)
{
    for (const PageButtons& row : kPageButtons) {
        if (row.page == page)
            return row;
    }
    return kPageButtons[0];
}
