// Version texts: four unsigned decimal fields separated by single
// characters, normally ".", compared field by field.
#pragma once

// True when version a is strictly lower than version b. A missing field
// counts as 0; a field beyond 4294967295 counts as 4294967295.
bool CompareVersions(const char* a, const char* b);
