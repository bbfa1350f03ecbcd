// The command-line switches of a run: "/" or "-", then the key in any case,
// then the value after spaces or double quotes. The raw text is scanned, not
// split into tokens, one double-byte character of the ANSI code page at a time.
#pragma once

#include <cstddef>

// Looks for the switch key (ASCII letters) in the command line (may be null).
// 1 when found: the buffer then holds its value, possibly empty, cut to fit
// size bytes with its terminating zero and never within a double-byte
// character (a size of 0 receives nothing). 0 when not found: the buffer is
// not touched.
int FindSwitchValue(const char* commandLine, const char* key, char* value, size_t size);

// The position just after the first character of the text (may be null) that
// is in the set; null when there is none.
const char* SkipPastAnyOf(const char* text, const char* set);
