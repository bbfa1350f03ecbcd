#include "version_compare.h"

#include <cstdint>

namespace {

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// One field by the rule of strtoul with base 10: blanks and a sign first,
// saturated at the 32-bit maximum, a minus negating. Without digits the
// field is 0 and the position stays where it was.
std::uint32_t ReadField(const char*& text)
{
    const char* p = text;
    while (IsBlank(*p))
        ++p;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        ++p;
    if (*p < '0' || *p > '9')
        return 0;
    std::uint64_t value = 0;
    bool overflow = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<unsigned>(*p - '0');
        if (value > UINT32_MAX) {
            overflow = true;
            value = UINT32_MAX;
        }
    }
    text = p;
    if (overflow)
        return UINT32_MAX;
    return negative ? static_cast<std::uint32_t>(0u - static_cast<std::uint32_t>(value))
                    : static_cast<std::uint32_t>(value);
}

// Past the separator, but never past the end of the text.
void SkipSeparator(const char*& text)
{
    if (*text)
        ++text;
}

}  // namespace

VersionFields ReadVersion(const char* text)
{
    if (!text)
        text = "";
    VersionFields fields{};
    for (std::uint32_t& field : fields) {
        field = ReadField(text);
        SkipSeparator(text);
    }
    return fields;
}

bool CompareVersions(const char* a, const char* b) { return ReadVersion(a) < ReadVersion(b); }
