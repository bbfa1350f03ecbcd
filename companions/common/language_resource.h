// The language object that the language library hands out. Callers use it
// through its table of virtual operations only, by position: Initialize is
// the second entry and LookupText the seventh. Every entry is declared, with
// an explicit calling convention and no virtual destructor (whose entries
// differ between compilers), so the table has this layout whichever compiler
// builds the library or its callers. Only plain C types cross the boundary.
#pragma once

struct LanguageResource {
    virtual void __stdcall Reserved1() = 0;
    // Prepares the object for lookups; called once, right after loading.
    virtual int __stdcall Initialize() = 0;
    virtual void __stdcall Reserved3() = 0;
    virtual void __stdcall Reserved4() = 0;
    virtual void __stdcall Reserved5() = 0;
    virtual void __stdcall Reserved6() = 0;
    // The text of key in section for a language, as a zero-terminated text in
    // the ANSI code page that stays valid for the life of the process; null or
    // empty when there is none. destination is the caller's own string object;
    // this library does not use it.
    virtual const char* __stdcall LookupText(int languageId, const char* section, const char* key,
                                             void* destination) = 0;
};

// The library's one export, "GetLanguageResA".
typedef LanguageResource*(__stdcall* GetLanguageResAProc)();
