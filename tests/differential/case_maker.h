// Seeded generator of differential cases: manifests around a few boundary
// versions, with the shapes, keys, URLs and bytes that publishers get wrong,
// and installations on and around those versions.
#pragma once

#include <random>
#include <set>
#include <string>
#include <vector>

#include "differential_case.h"
#include "manifest_signer.h"

// What every case may pin its lists with: the package served at every URL.
struct ServedPackage {
    std::string sha256;  // 64 lower-case hex digits
    std::string size;    // in bytes, decimal
};

class CaseMaker {
public:
    // Features named in `avoided` are never put in (see kKnownOpen in the test).
    CaseMaker(unsigned seed, ServedPackage package, const ManifestSigner& key, const ManifestSigner& otherKey,
              std::set<std::string> avoided = {});

    DiffCase Next();

private:
    unsigned Pick(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(random_); }
    template <typename T, size_t N>
    const T& Any(const T (&items)[N]) { return items[Pick(N)]; }
    // One time in `oneIn`, unless the feature is avoided; a feature put in is named in the case.
    bool Maybe(const char* feature, unsigned oneIn);

    std::string Version();
    std::string Around(const std::string& version);
    std::string Count(size_t given, const std::string& key);
    std::string Url(const std::string& name);
    std::string Files(const std::string& name, bool keyed);
    std::string Pin(bool keyed);
    std::string Packet(int n, bool keyed);
    std::string FullSection(const std::string& ver, int packets, const DiffInstallation& in);
    std::string TrustKeys(const DiffInstallation& in);
    std::string Sign(std::string text);
    std::string ControlByte(std::string text);
    DiffInstallation InstallationKind();
    void PlaceVersions(DiffInstallation& in);

    unsigned seed_;
    int index_ = 0;
    std::mt19937 random_;
    ServedPackage package_;
    const ManifestSigner& key_;
    const ManifestSigner& otherKey_;
    std::set<std::string> avoided_;
    std::set<std::string> features_;     // of the case being made
    std::vector<std::string> versions_;  // that its manifest names
};
