#include "package_pin.h"

#include "shared/decimal.h"

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
