// The update wizard as another process sees it: its top-level window, the
// page it shows (told by the controls of the page's template), the state of
// its progress bar, and clicks on the frame's buttons.
#pragma once

#include "framework/win.h"

enum class WizardPage { None, Welcome, Query, Download, UpToDate, Error };

// The page's name as the screenshots are named: welcome, query, ...
const char* PageName(WizardPage page);

// The wizard's frame when it is on screen; null otherwise.
HWND FindShownWizard();

// The page whose controls are visible in the frame now.
WizardPage ShownPage(HWND frame);

// Position of the visible page's progress bar, 0 to 100; -1 when none is visible.
int ProgressPosition(HWND frame);

// Clicks a button of the frame as a user would: only a visible, enabled one.
// False when the button was not there to click.
bool ClickFrameButton(HWND frame, int id);
