// A program that does nothing: its Wine start is the baseline of a whole
// update run through updatehost.exe. A GUI program, as the host is.
#include "framework/win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
