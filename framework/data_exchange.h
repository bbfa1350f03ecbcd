// Moves data between a dialog's controls and the members of its object.
#pragma once

#include <string>

#include "win.h"

namespace framework {

class ProgressBar;

class DataExchange {
public:
    DataExchange(HWND dialog, bool saveAndValidate) : dialog_(dialog), save_(saveAndValidate) {}

    // Binds a member wrapper to the control with that id.
    void Control(int id, ProgressBar& bar);
    // The text of an edit or static control.
    void Text(int id, std::string& text);

private:
    HWND dialog_;
    bool save_;
};

}  // namespace framework
