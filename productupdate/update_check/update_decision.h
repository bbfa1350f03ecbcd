// Whether a manifest offers an update for an installation: the rules alone,
// on plain values.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "update_manifest.h"

struct UpdateDecision {
    bool newer = false;  // the version step passed: the manifest's version is offered
    const ManifestPacket* packet = nullptr;  // the first packet that applies, if any
    std::vector<std::string> urls;           // the package URLs; an offer needs one
    PackagePin pin;                          // what the manifest pins of their package
    bool offer() const { return !urls.empty(); }
};

// min <= installed < max.
bool PacketApplies(const ManifestPacket& packet, const std::string& installed);

// The version step compares the manifest's version with the registry version
// (a package already fetched) or else the installed one; test mode always
// passes it. A packet applies when min <= installed < max; the first one wins,
// even without URLs. Outside test mode the [Full] list is the fallback.
UpdateDecision DecideUpdate(const UpdateManifest& manifest, const std::string& installedVersion,
                            const std::optional<std::string>& registryVersion, bool testMode);
