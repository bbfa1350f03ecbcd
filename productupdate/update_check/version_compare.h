// Version texts: four unsigned decimal fields separated by single
// characters, normally ".", compared field by field.
#pragma once

#include <array>
#include <cstdint>

using VersionFields = std::array<std::uint32_t, 4>;

// The four fields of a version text as the comparison reads them. A missing
// field counts as 0; a field beyond 4294967295 counts as 4294967295.
VersionFields ReadVersion(const char* text);

// True when version a is strictly lower than version b, field by field.
bool CompareVersions(const char* a, const char* b);
