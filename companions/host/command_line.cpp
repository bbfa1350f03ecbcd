#include "command_line.h"

#include "framework/win.h"

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

const char* SkipProgramName(const char* commandLine)
{
    const char* p = commandLine;
    if (*p == '"') {
        // A quoted program name ends at the next quote; there is no escape in it.
        p = CharNextA(p);
        while (*p && *p != '"')
            p = CharNextA(p);
        if (*p == '"')
            ++p;
    } else {
        while (*p && !IsBlank(*p))
            p = CharNextA(p);
    }
    while (IsBlank(*p))
        ++p;
    return p;
}
