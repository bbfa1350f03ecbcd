// Reads a dialog template of a module's resources, plain or extended, into
// plain values that a test can compare.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "framework/win.h"

struct DialogItem {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::string className;  // the name, also for the predefined classes
    std::string text;       // UTF-8; "#n" for a resource ordinal
};

struct DialogTemplate {
    bool extended = false;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string title;  // UTF-8
    int pointSize = 0;
    std::string font;  // UTF-8
    std::vector<DialogItem> items;
};

std::optional<DialogTemplate> LoadDialogTemplate(HMODULE module, int id);
std::string Utf8(const std::wstring& text);
