#include "kept_transfer.h"

#include <algorithm>
#include <sstream>

#include "shared/decimal.h"

namespace {

const char kHeading[] = "velnor-kept-transfer 1";

// A value that the record's line form carries unchanged.
bool FitsOneLine(const std::string& value)
{
    return value.find_first_of("\r\n", 0) == std::string::npos;
}

std::string HexOf(const framework::Sha256Digest& digest)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

std::optional<std::uint64_t> ParseNumber(const std::string& text, size_t& at, char end)
{
    size_t stop = text.find(end, at);
    if (stop == std::string::npos)
        return std::nullopt;
    std::optional<std::uint64_t> value = ParseDecimal(text.substr(at, stop - at));
    at = stop + 1;
    return value;
}

}  // namespace

std::optional<Validator> ChooseValidator(const std::string& etag, const std::string& lastModified)
{
    // A strong tag is a quoted string; "W/" marks a weak one.
    if (etag.size() >= 2 && etag.front() == '"' && etag.back() == '"' && FitsOneLine(etag))
        return Validator{etag, ""};
    if (!lastModified.empty() && FitsOneLine(lastModified))
        return Validator{"", lastModified};
    return std::nullopt;
}

std::string FormatKeptRecord(const KeptTransfer& kept)
{
    std::string text = std::string(kHeading) + "\r\n";
    text += "url=" + kept.url + "\r\n";
    text += "total=" + std::to_string(kept.total) + "\r\n";
    if (!kept.etag.empty())
        text += "etag=" + kept.etag + "\r\n";
    else
        text += "last-modified=" + kept.lastModified + "\r\n";
    if (kept.pin.digest)
        text += "sha256=" + HexOf(*kept.pin.digest) + "\r\n";
    if (kept.pin.size)
        text += "size=" + std::to_string(*kept.pin.size) + "\r\n";
    text += "end\r\n";  // the last line: a record cut short lacks it
    return text;
}

std::optional<KeptTransfer> ParseKeptRecord(const std::string& text)
{
    static const char kEnd[] = "\r\nend\r\n";  // the last line: a record cut short lacks it
    if (text.size() < sizeof kEnd - 1 || text.compare(text.size() - (sizeof kEnd - 1), sizeof kEnd - 1, kEnd) != 0)
        return std::nullopt;
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != std::string(kHeading) + "\r")
        return std::nullopt;
    KeptTransfer kept;
    std::string sha256, size;
    bool total = false, ended = false;
    while (std::getline(lines, line)) {
        if (line.empty() || line.back() != '\r' || ended)
            return std::nullopt;
        line.pop_back();
        if (line == "end") {
            ended = true;
            continue;
        }
        size_t equals = line.find('=');
        if (equals == std::string::npos)
            return std::nullopt;
        std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        if (key == "url")
            kept.url = value;
        else if (key == "total") {
            std::optional<std::uint64_t> number = ParseDecimal(value);
            if (!number)
                return std::nullopt;
            kept.total = *number;
            total = true;
        } else if (key == "etag")
            kept.etag = value;
        else if (key == "last-modified")
            kept.lastModified = value;
        else if (key == "sha256")
            sha256 = value;
        else if (key == "size")
            size = value;
        else
            return std::nullopt;
    }
    if (!ended || !total || kept.url.empty() || kept.validator().empty())
        return std::nullopt;
    kept.pin = ReadPackagePin(sha256, size);
    if (!kept.pin.readable)
        return std::nullopt;
    return kept;
}

bool KeptServes(const KeptTransfer& kept, const std::string& url, const PackagePin& pin)
{
    return kept.url == url && kept.pin.digest == pin.digest && kept.pin.size == pin.size;
}

std::optional<ContentRange> ParseContentRange(const std::string& text)
{
    static const char kUnit[] = "bytes ";
    if (text.compare(0, sizeof kUnit - 1, kUnit) != 0)
        return std::nullopt;
    size_t at = sizeof kUnit - 1;
    std::optional<std::uint64_t> first = ParseNumber(text, at, '-');
    std::optional<std::uint64_t> last = ParseNumber(text, at, '/');
    std::optional<std::uint64_t> total = ParseDecimal(text.substr(at));
    if (!first || !last || !total || *first > *last || *last >= *total)
        return std::nullopt;
    return ContentRange{*first, *last, *total};
}

bool RangeContinues(const std::optional<ContentRange>& range, std::uint64_t declaredLength,
                    std::uint64_t keptLength, std::uint64_t keptTotal)
{
    return range && range->first == keptLength && range->total == keptTotal &&
           range->last == keptTotal - 1 && declaredLength == keptTotal - keptLength;
}

std::string ResumeHeaders(std::uint64_t keptLength, const std::string& validator)
{
    return "Range: bytes=" + std::to_string(keptLength) + "-\r\nIf-Range: " + validator + "\r\n";
}

std::string ChoosePackageUrl(const std::vector<std::string>& urls, const std::string& keptUrl,
                             size_t randomIndex)
{
    if (urls.empty())
        return {};
    if (!keptUrl.empty() && std::find(urls.begin(), urls.end(), keptUrl) != urls.end())
        return keptUrl;
    return urls[randomIndex % urls.size()];
}

bool RepeatsValidator(const KeptTransfer& kept, const std::string& etag,
                      const std::string& lastModified)
{
    return kept.etag.empty() ? lastModified == kept.lastModified : etag == kept.etag;
}
