#include "transfer_rules.h"

#include <algorithm>
#include <limits>

const char kHeaderBlock[] = "Accept: text/* */*\r\nUser-Agent:\xA1\xA1HttpClient\r\n";
static_assert(sizeof(kHeaderBlock) - 1 == 45, "the header block is 45 bytes");

std::optional<framework::ParsedUrl> FetchableUrl(const std::string& url)
{
    framework::ParsedUrl parsed;
    if (!framework::ParseUrl(url, parsed) || parsed.service != framework::InternetService::Http)
        return std::nullopt;
    return parsed;
}

std::optional<std::string> FindRedirectLocation(const std::string& rawHeaders)
{
    static const char kLocation[] = "Location: ";
    size_t at = rawHeaders.find(kLocation);
    if (at == std::string::npos)
        return std::nullopt;
    size_t start = at + sizeof kLocation - 1;
    size_t end = rawHeaders.find("\r\n", start);
    return rawHeaders.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::optional<std::uint64_t> ParseContentLength(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t");
    size_t last = text.find_last_not_of(" \t");
    if (first == std::string::npos)
        return std::nullopt;
    std::uint64_t value = 0;
    for (size_t i = first; i <= last; ++i) {
        char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        if (value > (std::numeric_limits<std::uint64_t>::max() - 9) / 10)
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

UINT ProgressPercent(std::uint64_t received, std::uint64_t total)
{
    if (total == 0)
        return 100;
    // received never exceeds what fits a file, so × 100 fits 64 bits.
    std::uint64_t percent = received / total * 100 + (received % total) * 100 / total;
    return percent > std::numeric_limits<UINT>::max() ? std::numeric_limits<UINT>::max()
                                                      : static_cast<UINT>(percent);
}

std::uint64_t TransferDeadlineMs(std::uint64_t declaredLength, std::uint64_t floorMs)
{
    constexpr std::uint64_t kDayMs = 24ull * 60 * 60 * 1000;
    std::uint64_t perLength = declaredLength / 4096 * 1000;  // no overflow: declared / 4096 < 2^52
    return std::min(kDayMs, floorMs + std::min(perLength, kDayMs));
}
