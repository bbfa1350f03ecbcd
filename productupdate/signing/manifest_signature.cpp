#include "manifest_signature.h"

#include <algorithm>

namespace {

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// One DER INTEGER of at most 32 bytes of value, unsigned and minimally
// encoded, written right-aligned into out; advances at.
bool ReadInteger(const std::vector<uint8_t>& der, size_t& at, uint8_t* out)
{
    if (at + 2 > der.size() || der[at] != 0x02)
        return false;
    size_t length = der[at + 1];
    at += 2;
    if (length == 0 || length > 33 || at + length > der.size())
        return false;
    const uint8_t* value = der.data() + at;
    at += length;
    if (value[0] & 0x80)
        return false;  // negative
    if (length > 1 && value[0] == 0 && !(value[1] & 0x80))
        return false;  // a leading zero that is not needed
    if (length == 33) {
        if (value[0] != 0)
            return false;  // a 33rd byte is only ever the zero before a high bit
        ++value;
        --length;
    }
    std::copy(value, value + length, out + (32 - length));
    return true;
}

// The DER of a P-256 SubjectPublicKeyInfo up to its uncompressed point:
// id-ecPublicKey, prime256v1, a 66-byte bit string, the 0x04 of the point.
const uint8_t kP256KeyPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                  0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                  0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};

// Half the order n of the group of P-256, rounded down: the highest S of
// the one form of a signature that is accepted (s and n - s verify alike).
const uint8_t kHalfOrder[32] = {0x7f, 0xff, 0xff, 0xff, 0x80, 0x00, 0x00, 0x00, 0x7f, 0xff, 0xff,
                                0xff, 0xff, 0xff, 0xff, 0xff, 0xde, 0x73, 0x7d, 0x56, 0xd3, 0x8b,
                                0xcf, 0x42, 0x79, 0xdc, 0xe5, 0x61, 0x7e, 0x31, 0x92, 0xa8};

const char kSignaturePrefix[] = ";signature=";

std::string_view WithoutLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

}  // namespace

std::optional<std::vector<uint8_t>> DecodeBase64(std::string_view text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (size_t at = 0; at < text.size(); at += 4) {
        bool last = at + 4 == text.size();
        int padding = last ? (text[at + 3] == '=') + (text[at + 2] == '=') : 0;
        if (padding == 1 && text[at + 2] == '=')
            return std::nullopt;
        uint32_t group = 0;
        for (int i = 0; i < 4; ++i) {
            int value = i >= 4 - padding ? 0 : Base64Value(text[at + i]);
            if (value < 0)
                return std::nullopt;
            group = group << 6 | static_cast<uint32_t>(value);
        }
        // One text for one value: the bits that padding leaves over are zero.
        if ((padding == 2 && (group & 0xFFFF)) || (padding == 1 && (group & 0xFF)))
            return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(group >> 16));
        if (padding < 2)
            bytes.push_back(static_cast<uint8_t>(group >> 8));
        if (padding < 1)
            bytes.push_back(static_cast<uint8_t>(group));
    }
    return bytes;
}

std::optional<framework::EcdsaSignature> SignatureFromDer(const std::vector<uint8_t>& der)
{
    // SEQUENCE of two INTEGERs: short-form lengths only, nothing after it.
    if (der.size() < 8 || der[0] != 0x30 || der[1] >= 0x80 || der[1] + 2u != der.size())
        return std::nullopt;
    framework::EcdsaSignature signature{};
    size_t at = 2;
    if (!ReadInteger(der, at, signature.data()) || !ReadInteger(der, at, signature.data() + 32) ||
        at != der.size())
        return std::nullopt;
    // Low S only: big-endian, so the bytes compare as the numbers do.
    if (std::lexicographical_compare(std::begin(kHalfOrder), std::end(kHalfOrder),
                                     signature.begin() + 32, signature.end()))
        return std::nullopt;
    return signature;
}

std::optional<framework::EcPoint> PublicKeyFromPem(std::string_view pem)
{
    const std::string_view begin = "-----BEGIN PUBLIC KEY-----";
    const std::string_view end = "-----END PUBLIC KEY-----";
    size_t first = pem.find(begin);
    size_t last = pem.find(end);
    if (first == std::string_view::npos || last == std::string_view::npos || last < first)
        return std::nullopt;
    std::string body;
    for (char c : pem.substr(first + begin.size(), last - first - begin.size()))
        if (c != '\r' && c != '\n' && c != ' ' && c != '\t')
            body += c;
    auto der = DecodeBase64(body);
    if (!der || der->size() != sizeof kP256KeyPrefix + 64 ||
        !std::equal(std::begin(kP256KeyPrefix), std::end(kP256KeyPrefix), der->begin()))
        return std::nullopt;
    framework::EcPoint point{};
    std::copy(der->begin() + sizeof kP256KeyPrefix, der->end(), point.begin());
    return point;
}

std::optional<SignedText> SplitSignature(std::string_view manifest)
{
    std::string_view content = WithoutLineEnd(manifest);
    size_t newline = content.rfind('\n');
    size_t lineStart = newline == std::string_view::npos ? 0 : newline + 1;
    std::string_view line = content.substr(lineStart);
    if (line.substr(0, sizeof kSignaturePrefix - 1) != kSignaturePrefix)
        return std::nullopt;
    return SignedText{manifest.substr(0, lineStart), line.substr(sizeof kSignaturePrefix - 1)};
}

bool ManifestSignatureHolds(std::string_view manifest, const framework::EcPoint& key)
{
    auto split = SplitSignature(manifest);
    if (!split)
        return false;
    auto der = DecodeBase64(split->signature);
    auto signature = der ? SignatureFromDer(*der) : std::nullopt;
    if (!signature)
        return false;
    framework::Sha256Digest digest =
        framework::Sha256Of(split->signedBytes.data(), split->signedBytes.size());
    return framework::VerifyEcdsaP256(key, digest, *signature);
}
