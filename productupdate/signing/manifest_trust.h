// What a module built with the publisher's key demands before it uses a
// manifest or fetches a package: a true signature, a manifest that is not
// stale or older than one already accepted, and a pinned package. A module
// built without a key demands none of it (and so trusts the network), but
// checks a package pin whenever the manifest gives one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/crypto.h"
#include "transfer/package_pin.h"

// The keys this module was built with: the publisher's, and a next one for
// a planned rotation. Empty for a build without a key.
std::vector<framework::EcPoint> LoadUpdateKeys(HINSTANCE module);

// True when the module holds a key resource that is no P-256 public key: a
// build meant to check signatures that cannot, which must then refuse every
// manifest rather than trust the network.
bool HasUnreadableUpdateKey(HINSTANCE module);

enum class ManifestVerdict { Trusted, SignatureInvalid, Expired, SerialRolledBack };

struct Freshness {
    std::string expires;  // the manifest's Expires text, or empty
    std::string serial;   // the manifest's Serial text, or empty
};

// The rules on plain values: nowSeconds and the times are seconds since
// 1970 in UTC; highestSerial is the highest this user accepted.
ManifestVerdict JudgeManifest(std::string_view bytes, const Freshness& freshness,
                              const std::vector<framework::EcPoint>& keys, std::uint64_t nowSeconds,
                              std::uint64_t highestSerial);

// The clock, in seconds since 1970 in UTC.
std::uint64_t NowSeconds();

// "2027-03-01T00:00:00Z" as seconds since 1970; nullopt for any other text.
std::optional<std::uint64_t> ParseUtcTime(const std::string& text);

// The downloaded manifest at path, judged with this module's keys, the
// clock and the serial kept beside the update record; a trusted one with a
// higher Serial raises that. False, with its trace line, for one that must
// not be used.
bool AcceptManifest(const std::string& path, const std::vector<framework::EcPoint>& keys);

// The highest Serial this user accepted, kept beside the update record; 0
// when none was kept.
std::uint64_t HighestSerial();
void StoreHighestSerial(std::uint64_t serial);

// Whether a package with this pin may be fetched; false with its trace line.
bool PinAllowsFetch(const PackagePin& pin, bool keyed);
