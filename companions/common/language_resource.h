// The language object that the language library hands out. Callers use it
// through its table of virtual operations only, by position: Initialize is
// the second entry and LookupText the seventh. Every entry is declared and
// there is no virtual destructor (whose entries differ between compilers),
// so the table has this layout whichever compiler builds the library or its
// callers. The entries keep the platform's own convention for members, as
// the product's library, ordinary C++, has them: on 32-bit Windows that is
// thiscall (this in ECX, the callee removes the arguments), which MSVC and
// mingw-w64 g++ agree on; an explicit __stdcall would take this from the
// stack and crash against such a library. Only plain C types cross the
// boundary.
#pragma once

struct LanguageResource {
    virtual void Reserved1() = 0;
    // Prepares the object for lookups; called once, right after loading.
    virtual int Initialize() = 0;
    virtual void Reserved3() = 0;
    virtual void Reserved4() = 0;
    virtual void Reserved5() = 0;
    virtual void Reserved6() = 0;
    // The text of key in section for a language, as a zero-terminated text in
    // the ANSI code page that stays valid for the life of the process; null or
    // empty when there is none. destination is the caller's own string object;
    // this library does not use it.
    virtual const char* LookupText(int languageId, const char* section, const char* key,
                                   void* destination) = 0;
};

// The library's one export, "GetLanguageResA".
typedef LanguageResource*(__stdcall* GetLanguageResAProc)();
