// A picture of a window as it stands on the screen, saved as a BMP file.
#pragma once

#include <string>

#include "framework/win.h"

// Copies the window's rectangle from the screen into a 24-bit BMP file.
// False when the picture could not be taken or written.
bool CaptureWindow(HWND window, const std::string& bmpPath);
