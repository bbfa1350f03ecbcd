#include "decimal.h"

std::optional<std::uint64_t> ParseDecimal(const std::string& text)
{
    if (text.empty() || text.size() > 19)  // below 10^19, so no overflow
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}
