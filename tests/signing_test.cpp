// The manifest signature as the system's CNG checks it, against keys and
// signatures made by stock OpenSSL.
#include <algorithm>
#include <random>

#include <gtest/gtest.h>

#include "signing/manifest_signature.h"
#include "support/long_runs.h"
#include "support/temp_folder.h"

namespace {

std::string Fixture(const std::string& name) { return ReadFileBytes(ProgramFolder() + "\\signing\\" + name); }

framework::EcPoint Key(const std::string& name)
{
    auto key = PublicKeyFromPem(Fixture(name));
    EXPECT_TRUE(key) << name;
    return key.value_or(framework::EcPoint{});
}

std::string Base64(const std::vector<uint8_t>& bytes)
{
    const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t at = 0; at < bytes.size(); at += 3) {
        uint32_t group = static_cast<uint32_t>(bytes[at]) << 16;
        if (at + 1 < bytes.size())
            group |= static_cast<uint32_t>(bytes[at + 1]) << 8;
        if (at + 2 < bytes.size())
            group |= bytes[at + 2];
        size_t present = std::min<size_t>(3, bytes.size() - at);
        for (size_t i = 0; i < 4; ++i)
            text += i <= present ? digits[(group >> (18 - 6 * i)) & 63] : '=';
    }
    return text;
}

std::string WithoutLineEnds(std::string text)
{
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}

TEST(Signing, Sha256MatchesKnownDigestsPieceByPiece)
{
    framework::Sha256 hash;
    hash.Update("ab", 2);
    hash.Update("c", 1);
    framework::Sha256Digest abc = hash.Finish();
    EXPECT_EQ(abc[0], 0xba);
    EXPECT_EQ(abc[31], 0xad);
    framework::Sha256Digest empty = framework::Sha256Of("", 0);
    EXPECT_EQ(empty[0], 0xe3);
    EXPECT_EQ(empty[31], 0x55);
}

TEST(Signing, KeysAreP256PublicKeysOnly)
{
    Key("key-public.pem");
    EXPECT_FALSE(PublicKeyFromPem(Fixture("key.pem"))) << "a private key is no public key";
    EXPECT_FALSE(PublicKeyFromPem("-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n"));
    EXPECT_FALSE(PublicKeyFromPem(""));
}

TEST(Signing, OnlyTheTrueManifestWithItsOwnSignatureVerifies)
{
    framework::EcPoint key = Key("key-public.pem");
    std::string signedManifest = Fixture("manifest-signed.ini");
    EXPECT_TRUE(ManifestSignatureHolds(signedManifest, key));
    EXPECT_FALSE(ManifestSignatureHolds(signedManifest, Key("other-public.pem")));
    EXPECT_FALSE(ManifestSignatureHolds(Fixture("manifest-other-key.ini"), key));
    EXPECT_FALSE(ManifestSignatureHolds(Fixture("manifest.ini"), key)) << "no signature line";

    std::string flipped = signedManifest;
    flipped[10] ^= 1;
    EXPECT_FALSE(ManifestSignatureHolds(flipped, key)) << "one flipped byte in the manifest";

    auto split = SplitSignature(signedManifest);
    ASSERT_TRUE(split);
    std::string badSignature = signedManifest;
    size_t at = split->signature.data() - signedManifest.data() + 20;
    badSignature[at] = badSignature[at] == 'A' ? 'B' : 'A';
    EXPECT_FALSE(ManifestSignatureHolds(badSignature, key)) << "one changed character of the signature";

    // The signature of another manifest of the same publisher, pasted in.
    auto other = SplitSignature(Fixture("second-signed.ini"));
    ASSERT_TRUE(other);
    std::string mixed = std::string(split->signedBytes) + ";signature=" + std::string(other->signature);
    EXPECT_FALSE(ManifestSignatureHolds(mixed, key));
    EXPECT_TRUE(ManifestSignatureHolds(Fixture("second-signed.ini"), key));
}

// Big-endian 32-byte arithmetic for the order n of P-256.
const framework::EcdsaSignature::value_type kOrder[32] = {
    0xff, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
    0xbc, 0xe6, 0xfa, 0xad, 0xa7, 0x17, 0x9e, 0x84, 0xf3, 0xb9, 0xca, 0xc2, 0xfc, 0x63, 0x25, 0x51};

std::vector<uint8_t> Minus(const uint8_t* a, const uint8_t* b)  // a - b, a >= b
{
    std::vector<uint8_t> out(32);
    int borrow = 0;
    for (int i = 31; i >= 0; --i) {
        int d = a[i] - b[i] - borrow;
        borrow = d < 0;
        out[static_cast<size_t>(i)] = static_cast<uint8_t>(d + (borrow ? 256 : 0));
    }
    return out;
}

std::vector<uint8_t> HalfOrderPlus(int add)  // floor(n / 2) + add, for small add
{
    std::vector<uint8_t> out(32);
    int carry = 0;
    for (int i = 0; i < 32; ++i) {  // halve, from the top
        int v = carry * 256 + kOrder[i];
        out[static_cast<size_t>(i)] = static_cast<uint8_t>(v / 2);
        carry = v % 2;
    }
    for (int i = 31; i >= 0 && add; --i) {
        int v = out[static_cast<size_t>(i)] + add;
        out[static_cast<size_t>(i)] = static_cast<uint8_t>(v & 0xff);
        add = v >> 8;
    }
    return out;
}

// A DER INTEGER of these value bytes as they stand (no trimming).
std::vector<uint8_t> Integer(const std::vector<uint8_t>& value)
{
    std::vector<uint8_t> der{0x02, static_cast<uint8_t>(value.size())};
    der.insert(der.end(), value.begin(), value.end());
    return der;
}
// The minimal DER INTEGER of a 32-byte unsigned value.
std::vector<uint8_t> MinimalInteger(std::vector<uint8_t> value)
{
    while (value.size() > 1 && value[0] == 0 && !(value[1] & 0x80))
        value.erase(value.begin());
    if (value[0] & 0x80)
        value.insert(value.begin(), 0);
    return Integer(value);
}
std::vector<uint8_t> Sequence(const std::vector<uint8_t>& r, const std::vector<uint8_t>& s)
{
    std::vector<uint8_t> der{0x30, static_cast<uint8_t>(r.size() + s.size())};
    der.insert(der.end(), r.begin(), r.end());
    der.insert(der.end(), s.begin(), s.end());
    return der;
}

// One encoding of one signature: minimal INTEGERs, a 33-byte one only as 00
// and a high byte, and S no higher than n/2 (n - S verifies alike).
TEST(Signing, OnlyTheOneEncodingOfASignatureIsAccepted)
{
    framework::EcPoint key = Key("key-public.pem");
    std::string signedManifest = Fixture("manifest-signed.ini");
    auto split = SplitSignature(signedManifest);
    ASSERT_TRUE(split);
    std::optional<framework::EcdsaSignature> parsed = SignatureFromDer(*DecodeBase64(split->signature));
    ASSERT_TRUE(parsed) << "the fixtures are written low-S";
    std::vector<uint8_t> r(parsed->begin(), parsed->begin() + 32), s(parsed->begin() + 32, parsed->end());
    std::vector<uint8_t> highS = Minus(kOrder, s.data());
    framework::Sha256Digest digest =
        framework::Sha256Of(split->signedBytes.data(), split->signedBytes.size());
    framework::EcdsaSignature high{};
    std::copy(r.begin(), r.end(), high.begin());
    std::copy(highS.begin(), highS.end(), high.begin() + 32);
    ASSERT_TRUE(framework::VerifyEcdsaP256(key, digest, high)) << "n - S is the same signature to the curve";

    auto with01 = [](std::vector<uint8_t> v) { v.insert(v.begin(), 0x01); return v; };
    auto with00 = [](std::vector<uint8_t> v) { v.insert(v.begin(), 0x00); return v; };
    std::vector<uint8_t> small(32, 0);
    small[31] = 5;
    struct Case {
        const char* name;
        std::vector<uint8_t> der;
        bool accepted;
    };
    const Case cases[] = {
        {"as written", Sequence(MinimalInteger(r), MinimalInteger(s)), true},
        {"high S", Sequence(MinimalInteger(r), MinimalInteger(highS)), false},
        {"S is n/2", Sequence(MinimalInteger(r), MinimalInteger(HalfOrderPlus(0))), true},
        {"S is n/2 + 1", Sequence(MinimalInteger(r), MinimalInteger(HalfOrderPlus(1))), false},
        {"33-byte r starting 01", Sequence(Integer(with01(r)), MinimalInteger(s)), false},
        {"33-byte s starting 01", Sequence(MinimalInteger(r), Integer(with01(s))), false},
        {"33-byte INTEGER of 00 and a low byte", Sequence(Integer(with00(small)), MinimalInteger(s)), false},
        {"a zero too many", Sequence(Integer(with00(MinimalInteger(r))), MinimalInteger(s)), false},
    };
    for (const Case& c : cases) {
        std::optional<framework::EcdsaSignature> read = SignatureFromDer(c.der);
        EXPECT_EQ(read.has_value(), c.accepted) << c.name;
        if (read && c.accepted && std::string(c.name) == "as written") {
            EXPECT_EQ(*read, *parsed);
        }
    }
    // Whole manifests: the high-S twin of a true signature does not verify.
    std::vector<uint8_t> twin = Sequence(MinimalInteger(r), MinimalInteger(highS));
    std::string base64 = Base64(twin);
    EXPECT_FALSE(ManifestSignatureHolds(std::string(split->signedBytes) + ";signature=" + base64 + "\r\n", key));
    EXPECT_TRUE(ManifestSignatureHolds(signedManifest, key));
}

TEST(Signing, MutatedSignatureLinesAndManifestsAreNeverAccepted)
{
    framework::EcPoint key = Key("key-public.pem");
    const std::string original = Fixture("manifest-signed.ini");
    std::mt19937 random(1234);
    int runs = 10000 * LongRunFactor();
    for (int run = 0; run < runs; ++run) {
        std::string mutated = original;
        int changes = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < changes; ++i) {
            size_t at = random() % mutated.size();
            switch (random() % 3) {
            case 0: mutated[at] = static_cast<char>(random()); break;
            case 1: mutated.erase(at, 1 + random() % 8); break;
            default: mutated.insert(at, 1, static_cast<char>(random())); break;
            }
            if (mutated.empty())
                mutated = "x";
        }
        // Only the line end after the signature may change without changing the meaning.
        if (WithoutLineEnds(mutated) == WithoutLineEnds(original))
            continue;
        ASSERT_FALSE(ManifestSignatureHolds(mutated, key)) << "run " << run;
    }
}

}  // namespace
