#include "transfer_rules.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <vector>

const char kHeaderBlock[] = "Accept: text/* */*\r\nUser-Agent:\xA1\xA1HttpClient\r\n";
static_assert(sizeof(kHeaderBlock) - 1 == 45, "the header block is 45 bytes");

const char kNoCacheHeaders[] = "Pragma: no-cache\r\nCache-Control: no-cache\r\n";

namespace {

bool HasScheme(const std::string& reference)
{
    size_t colon = reference.find(':');
    if (colon == std::string::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(reference[0])))
        return false;
    return std::all_of(reference.begin(), reference.begin() + static_cast<long>(colon), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
    });
}

// The path with its "." and ".." segments resolved, as a merged reference's is.
std::string RemoveDotSegments(const std::string& path)
{
    std::vector<std::string> kept;
    size_t start = 1;  // the path starts with "/"
    bool directory = false;
    while (start <= path.size()) {
        size_t end = std::min(path.find('/', start), path.size());
        std::string segment = path.substr(start, end - start);
        directory = segment == "." || segment == "..";
        if (segment == "..") {
            if (!kept.empty())
                kept.pop_back();
        } else if (segment != ".") {
            kept.push_back(segment);
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string& segment : kept)
        result += "/" + segment;
    if (directory || result.empty())
        result += "/";
    return result;
}

}  // namespace

std::optional<framework::ParsedUrl> FetchableUrl(const std::string& url)
{
    framework::ParsedUrl parsed;
    if (!framework::ParseUrl(url, parsed) || (parsed.service != framework::InternetService::Http &&
                                              parsed.service != framework::InternetService::Https))
        return std::nullopt;
    return parsed;
}

std::optional<std::string> ResolveLocation(const std::string& base, const std::string& location)
{
    size_t first = location.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::nullopt;
    std::string reference = location.substr(first, location.find_last_not_of(" \t") + 1 - first);
    if (HasScheme(reference))
        return reference;
    framework::ParsedUrl parsed;
    size_t schemeEnd = base.find("://");
    if (!framework::ParseUrl(base, parsed) || schemeEnd == std::string::npos)
        return std::nullopt;
    size_t authorityEnd = std::min(base.find_first_of("/?#", schemeEnd + 3), base.size());
    std::string origin = base.substr(0, authorityEnd);
    if (reference.compare(0, 2, "//") == 0)
        return base.substr(0, schemeEnd + 1) + reference;

    if (reference[0] == '#')
        return base.substr(0, base.find('#')) + reference;
    std::string basePath = parsed.object.substr(0, parsed.object.find_first_of("?#"));
    size_t pathEnd = std::min(reference.find_first_of("?#"), reference.size());
    std::string path = reference.substr(0, pathEnd);
    if (path.empty())
        path = basePath;  // only a query
    else if (path[0] != '/')
        path = basePath.substr(0, basePath.rfind('/') + 1) + path;
    return origin + RemoveDotSegments(path) + reference.substr(pathEnd);
}

std::optional<std::string> RedirectRefusal(const framework::ParsedUrl& from,
                                           const framework::ParsedUrl& to)
{
    if (from.service == framework::InternetService::Https &&
        to.service != framework::InternetService::Https)
        return std::string("redirect from https to http");
    return std::nullopt;
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

bool HasHeaderLines(const std::string& rawHeaders)
{
    size_t statusEnd = rawHeaders.find("\r\n");
    return statusEnd != std::string::npos && rawHeaders.size() > statusEnd + 2 &&
           rawHeaders.compare(statusEnd + 2, 2, "\r\n") != 0;
}

bool IsIdentityEncoding(const std::string& contentEncoding)
{
    size_t first = contentEncoding.find_first_not_of(" \t");
    if (first == std::string::npos)
        return true;
    size_t last = contentEncoding.find_last_not_of(" \t");
    return _stricmp(contentEncoding.substr(first, last + 1 - first).c_str(), "identity") == 0;
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
