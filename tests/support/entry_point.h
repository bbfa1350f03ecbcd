// The module's entry as a test host reaches it: loaded by path, found by name.
#pragma once

#include "framework/win.h"

using EntryProc = void(__stdcall*)(HWND, HINSTANCE, LPSTR, int);

// RD_XXXX of the module at path, which stays loaded in module; null when the
// module or its entry is missing.
inline EntryProc LoadEntryPoint(const char* path, HMODULE& module)
{
    module = LoadLibraryA(path);
    return module ? reinterpret_cast<EntryProc>(reinterpret_cast<void*>(GetProcAddress(module, "RD_XXXX")))
                  : nullptr;
}
