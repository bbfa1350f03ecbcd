// The manifest signature as the system's CNG checks it, against keys and
// signatures made by stock OpenSSL.
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
