// The one include of the Windows headers for the whole project, so every file
// sees the same ANSI, version and macro settings.
#pragma once

#ifndef STRICT
#define STRICT
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#undef UNICODE
#undef _UNICODE

// Before windows.h, so that a file that also needs sockets (the tests'
// server) can have them without a clash of the two socket headers.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wininet.h>
