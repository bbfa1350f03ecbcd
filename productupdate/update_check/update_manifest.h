// The update manifest that the update server publishes: an INI file with a
// section "Full" and packet sections "Packet0", "Packet1", ...
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "transfer/package_pin.h"

struct ManifestPacket {
    int section = 0;                  // n of its section name "Packet%d"
    std::string min = "0.0.0.0";  // lowest installed version it applies to
    std::string max = "0.0.0.0";  // the installed version must be lower
    int force = 0;
    int silent = 0;
    std::vector<std::string> files;  // non-empty File%d below FileCount, in index order
    PackagePin pin;                  // of the package its files name
};

struct UpdateManifest {
    std::string info;
    std::string version = "0.0.0.0";
    // The packets below PacketCount, in index order. An index whose section is
    // missing is left out: with "max" at its default it could never apply.
    std::vector<ManifestPacket> packets;
    std::vector<std::string> files;  // the fallback list of [Full]
    PackagePin pin;                  // of the fallback list's package
    std::string expires;             // a UTC time after which the manifest is stale, if any
    std::string serial;              // raised by the publisher with every manifest, if any
    std::optional<std::string> rollout;  // the share of installations offered the version, if given
    std::string withdrawn;               // versions taken back, comma-separated, if any
    std::string channel;             // the manifest path it is published at, if any
    // What bears on trust and is given twice, which the private-profile
    // functions read only the first of: "[Full]" (in any spelling) or a
    // "[PacketN]" that is read, and "[Full] Serial" and the like for Expires,
    // Serial, Channel, and sha256 and size of [Full] and of a read packet.
    std::vector<std::string> duplicates;
};

// A package URL of a list, with the n of its key "File%d".
struct ListEntry {
    int index = 0;
    std::string url;
};

// The entries of a section's list that the module reads, in index order:
// File%d below FileCount, empty ones left out. ManifestPacket::files and
// UpdateManifest::files hold their URLs.
std::vector<ListEntry> ReadListEntries(const std::string& path, const std::string& section);

// Reads the file with the semantics of the private-profile functions. Counts
// that are negative read as 0; huge counts cost only the entries that exist.
UpdateManifest ReadUpdateManifest(const std::string& path);
