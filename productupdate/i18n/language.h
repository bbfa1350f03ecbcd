// The wizard's texts: looked up in the product's language library by key,
// section "Frame", with this module's string table as the fallback.
#pragma once

#include <string>

#include "framework/win.h"

struct LanguageResource;

// The language library's object and the language to ask it for. Without an
// object every lookup takes its fallback.
struct Language {
    LanguageResource* resource = nullptr;
    int id = 2052;
};

// Loads common.dll from the directory (this module's folder when null) and
// returns its language object; null when the library or its export is missing.
// The library stays loaded for the life of the process; library, when given,
// gets its handle.
LanguageResource* LoadLanguageLibrary(const char* directory, HMODULE* library = nullptr);

// The language library's text of the key; empty when there is none.
std::string LookupLanguageText(const Language& language, const char* key);

// The language text of the key, or else the string resource fallbackId of
// this module, or else an empty text.
std::string LoadLocalizedString(const Language& language, const char* key, UINT fallbackId);

// Sets the control's text to LoadLocalizedString(key, controlId), also when
// that text is empty.
void SetLocalizedItemText(const Language& language, HWND dialog, int controlId, const char* key);

// A string resource of this module, in the ANSI code page; empty when missing.
std::string LoadModuleString(UINT id);

// A string resource of the module, in the ANSI code page; empty when missing.
std::string LoadStringResource(HINSTANCE module, UINT id);
