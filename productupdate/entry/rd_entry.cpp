// The module's one export: one call is one update run.
#include "framework/win.h"

extern "C" void __stdcall RD_XXXX(HWND, HINSTANCE, LPSTR, int) {}
