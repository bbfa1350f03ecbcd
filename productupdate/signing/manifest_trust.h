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
#include "update_check/update_manifest.h"

// The keys this module was built with: the publisher's, and a next one for
// a planned rotation. Empty for a build without a key.
std::vector<framework::EcPoint> LoadUpdateKeys(HINSTANCE module);

// True when the module holds a key resource that is no P-256 public key: a
// build meant to check signatures that cannot, which must then refuse every
// manifest rather than trust the network.
bool HasUnreadableUpdateKey(HINSTANCE module);

enum class ManifestVerdict {
    Trusted,
    SignatureInvalid,  // no signature line, or one that verifies with none of the keys
    Ambiguous,         // what bears on trust is given twice (UpdateManifest::duplicates)
    Incomplete,        // no Channel, Expires or Serial in [Full]
    ChannelMismatch,   // Channel names another manifest than the one fetched
    Expired,           // Expires has passed, or is no UTC time
    SerialRolledBack,  // Serial is below the highest accepted on the channel, or no number
};

// Whether the whole file's bytes end in a signature line that verifies with one of the keys.
bool SignedByOneOf(std::string_view bytes, const std::vector<framework::EcPoint>& keys);

// The rules after the signature, on plain values, in the order above:
// manifest is the reading of the signed bytes; channel is the manifest path
// the run fetched; nowSeconds and the times are seconds since 1970 in UTC;
// highestSerial is the highest this user accepted on the channel.
ManifestVerdict JudgeSignedManifest(const UpdateManifest& manifest, const std::string& channel,
                                    std::uint64_t nowSeconds, std::uint64_t highestSerial);

// The trace line of a verdict: "Manifest signature verified" for Trusted.
const char* VerdictTrace(ManifestVerdict verdict);

// The clock, in seconds since 1970 in UTC.
std::uint64_t NowSeconds();

// "2027-03-01T00:00:00Z" as seconds since 1970; nullopt for any other text.
std::optional<std::uint64_t> ParseUtcTime(const std::string& text);

// The downloaded manifest at path. A keyed module reads it once: its file
// is held with writes and deletes denied while its bytes (at most 1 MiB)
// are read, verified with the keys and parsed with the private-profile
// functions; it then judges it for the channel, the manifest path that the
// run fetched, with the clock and the highest Serial accepted on that
// channel, and raises that Serial. nullopt, with its trace line, for a
// manifest that must not be used. A module without keys parses the file as
// it is and takes it. The file is deleted whatever the outcome.
std::optional<UpdateManifest> AcceptManifest(const std::string& path, const std::string& channel,
                                             const std::vector<framework::EcPoint>& keys);

// The highest Serial this user accepted on a channel, kept beside the update
// record (HKCU\Software\Velnor\Update\ManifestSerials, a value named by
// the channel); 0 when none was kept.
std::uint64_t HighestSerial(const std::string& channel);
void StoreHighestSerial(const std::string& channel, std::uint64_t serial);

// Whether a package with this pin may be fetched; false with its trace line.
bool PinAllowsFetch(const PackagePin& pin, bool keyed);
