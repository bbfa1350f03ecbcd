// The module's decision for one installation, made by the module's own code
// on a copy of the manifest, with the installation's registry state in a
// sandbox, and the reasons behind it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "framework/crypto.h"
#include "manifest_input.h"
#include "offers.h"

struct Installation {
    std::string installed;                // the installed version
    std::optional<std::string> recorded;  // UpdateVersion of a pending update record
    int recordedSilent = 0;               // its Silent
    bool testMode = false;
    std::vector<framework::EcPoint> keys;         // the module is built with them
    std::optional<std::uint64_t> acceptedSerial;  // the highest Serial it accepted before, on the channel
    // The manifest path the installation fetches (a keyed module takes only
    // a manifest whose Channel names it); none: the manifest's own Channel.
    std::optional<std::string> channel = std::nullopt;
    std::optional<std::uint64_t> draw = std::nullopt;  // its RolloutDraw; none: the module draws one
    int recordedHasUpdate = 1;  // HasUpdate of the record (0 once nothing is pending)
};

struct Explanation {
    bool trusted = true;  // the manifest passed the keyed module's checks
    std::string channel;  // the manifest path the installation was taken to fetch
    std::string ver;      // the manifest's Ver
    std::string base;     // the version Ver is compared with
    bool baseIsRecorded = false;
    Offer offer;  // the decision before the repeat check, with its reasons
    // What the module's evaluation gave:
    bool result = false;
    bool alreadyPending = false;  // the offer is the one recorded as pending
    bool withdrawn = false;       // the recorded update was taken back first
    bool heldBack = false;        // the rollout does not reach this installation yet
    std::optional<unsigned> place;  // its place in the rollout of Ver, when there is a Rollout
    int force = 0;
    int silent = 1;
    std::vector<std::string> urls;
    std::string offeredVersion;
    std::string info;
    PackagePin pin;
    std::vector<std::string> trace;  // the trace lines, in order
    std::vector<std::string> warnings;  // about the file itself
};

// Why a module built with the keys refuses the manifest when it fetches it
// from channel (by default the manifest's own Channel): its trace line.
// Nothing when it takes it, and always for a module without keys.
std::optional<std::string> KeyedRefusal(const ManifestInput& manifest, const std::vector<framework::EcPoint>& keys,
                                        const std::optional<std::string>& channel = std::nullopt);

Explanation Explain(const ManifestInput& manifest, const Installation& installation);

// Why nothing is offered, or what is: one sentence.
std::string Verdict(const Explanation& explanation, const Installation& installation);
