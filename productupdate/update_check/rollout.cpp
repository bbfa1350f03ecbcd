#include "rollout.h"

#include <cstdio>

#include "framework/crypto.h"
#include "framework/registry.h"
#include "shared/decimal.h"
#include "shared/facts.h"

namespace {

std::string Trim(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t");
    size_t last = text.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::optional<std::uint64_t> ReadDraw()
{
    framework::RegKey key = framework::OpenRegKey(HKEY_CURRENT_USER, kRecordKey, KEY_READ);
    std::string text;
    if (!key || !framework::QueryRegString(key.get(), kRolloutDrawValue, text))
        return std::nullopt;
    return ParseDraw(text);
}

}  // namespace

std::optional<std::uint64_t> ParseDraw(const std::string& text)
{
    if (text.size() != 16)
        return std::nullopt;
    std::uint64_t draw = 0;
    for (char c : text) {
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0)
            return std::nullopt;
        draw = draw << 4 | static_cast<unsigned>(digit);
    }
    return draw;
}

void StoreInstallationDraw(std::uint64_t draw)
{
    framework::RegKey key = framework::CreateRegKey(HKEY_CURRENT_USER, kRecordKey, KEY_SET_VALUE);
    if (!key)
        return;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(draw));
    RegSetValueExA(key.get(), kRolloutDrawValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
}

std::optional<unsigned> RolloutShare(const std::string& text)
{
    std::optional<std::uint64_t> share = ParseDecimal(text);
    if (!share || *share > 100)
        return std::nullopt;
    return static_cast<unsigned>(*share);
}

unsigned RolloutPlace(std::uint64_t draw, const std::string& version)
{
    std::string input = version + '\n';
    for (int i = 0; i < 8; ++i)
        input += static_cast<char>(draw >> (8 * i));
    framework::Sha256Digest digest = framework::Sha256Of(input.data(), input.size());
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i)
        value = value << 8 | digest[static_cast<size_t>(i)];
    return static_cast<unsigned>(value % 100);  // a bias below 2^-57
}

std::uint64_t InstallationDraw()
{
    if (std::optional<std::uint64_t> kept = ReadDraw())
        return *kept;
    std::uint64_t draw = framework::RandomU64();
    StoreInstallationDraw(draw);  // unstored, this run still has a fair place
    return draw;
}

std::vector<std::string> WithdrawnVersions(const std::string& text)
{
    std::vector<std::string> versions;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos)
            comma = text.size();
        std::string item = Trim(text.substr(start, comma - start));
        if (!item.empty())
            versions.push_back(item);
        start = comma + 1;
    }
    return versions;
}
