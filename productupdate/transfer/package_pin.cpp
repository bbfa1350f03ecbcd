#include "package_pin.h"

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<framework::Sha256Digest> ParseDigest(const std::string& text)
{
    framework::Sha256Digest digest{};
    if (text.size() != 2 * digest.size())
        return std::nullopt;
    for (size_t i = 0; i < digest.size(); ++i) {
        int high = HexValue(text[2 * i]), low = HexValue(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        digest[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return digest;
}

}  // namespace

PackagePin ReadPackagePin(const std::string& sha256, const std::string& size)
{
    PackagePin pin;
    if (!sha256.empty()) {
        pin.digest = ParseDigest(sha256);
        pin.readable = pin.readable && pin.digest;
    }
    if (!size.empty()) {
        pin.size = ParseDecimal(size);
        pin.readable = pin.readable && pin.size;
    }
    return pin;
}

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
