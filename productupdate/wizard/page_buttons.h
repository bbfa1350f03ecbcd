// The frame's four buttons as each page shows them: the one table that the
// pages apply and the tests check.
#pragma once

#include "resources/resource.h"

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

constexpr const PageButtons& ButtonsOf(PageKind page)
{
    for (const PageButtons& row : kPageButtons) {
        if (row.page == page)
            return row;
    }
    return kPageButtons[0];
}
