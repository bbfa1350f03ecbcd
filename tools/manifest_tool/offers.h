// What an installation gets from a manifest, computed with the module's own
// decision: the same reading of versions, the same packet rule and fallback,
// the same mapping of the decision onto the run.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "update_check/update_manifest.h"
#include "update_check/version_compare.h"

struct Offer {
    bool newer = false;            // Ver is above the base version (or test mode)
    int packet = -1;               // n of the first applying [Packet n], or -1
    std::vector<int> alsoApplies;  // later packets whose range holds the version too
    bool fallback = false;         // the URLs are [Full]'s list
    bool offered = false;          // there is a package to fetch
    bool pinRefused = false;       // there were URLs, but a keyed module refuses their pin
    std::vector<std::string> urls;
    std::vector<std::string> unfetchable;  // those of urls whose transfer always fails
    PackagePin pin;  // of the package the URLs name
    int force = 0;
    int silent = 1;  // a run starts with 1 and keeps it unless a packet applies
    std::string version;
    std::optional<std::string> rollout;  // [Full] Rollout of an offer outside test mode, if any
    std::optional<std::string> refused;  // why a keyed module refuses the whole manifest
};

// The offer for an installation, with the version of a package it already
// fetched if any. It does not know whether that offer is already pending.
Offer OfferFor(const UpdateManifest& manifest, const std::string& installed, bool testMode, bool keyed,
               const std::optional<std::string>& recorded = std::nullopt);

// The URLs of a list that the module cannot fetch (it fetches http:// and
// https:// only), and the share of runs that fail: each run picks one URL at random.
std::vector<std::string> Unfetchable(const std::vector<std::string>& urls);
double FailShare(const std::vector<std::string>& urls);

// The same package, flags and version: an installation could not tell them
// apart. The rollout is not part of it: it decides who gets the offer.
bool SameOffer(const Offer& a, const Offer& b);

// One line for people: "[Packet0] 2 URLs, force 0, silent 1" or "nothing: up to date".
std::string DescribeOffer(const Offer& offer, bool testMode);

std::string VersionText(const VersionFields& fields);
// Digits and dots only, four fields of at most 4294967295: what a version should look like.
bool ReadsAsFourNumbers(const std::string& text);

// Every version the manifest names as a bound (min, max, Ver), in order, once each.
std::vector<VersionFields> Boundaries(const UpdateManifest& manifest);
// The bounds of two manifests together, for comparing their offers range by range.
std::vector<VersionFields> Boundaries(const UpdateManifest& a, const UpdateManifest& b);

// One range of installed versions, [from, to), and what every version in it
// gets. The first row, below the lowest bound, is tried at the version just
// under that bound; every other row at its lower bound.
struct CoverageRow {
    VersionFields from{};
    std::optional<VersionFields> to;  // none: no upper bound
    std::string tried;
    Offer offer;
};
// A manifest that a keyed module refuses (refused holds why) offers
// nothing in any row.
std::vector<CoverageRow> Coverage(const std::vector<VersionFields>& bounds,
                                  const UpdateManifest& manifest, bool testMode, bool keyed,
                                  const std::optional<std::string>& refused = std::nullopt);

// "below 2.0.0.0", "2.0.0.0 up to 2.3.0.0" or "2.4.0.3 and above".
std::string RangeText(const CoverageRow& row);
// The same for the rows first up to last, one range together.
std::string RangeText(const CoverageRow& first, const CoverageRow& last);
