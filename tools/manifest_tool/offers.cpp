#include "offers.h"

#include <algorithm>
#include <iterator>

#include "framework/debug_output.h"
#include "transfer/transfer_rules.h"
#include "update_check/evaluate_manifest.h"
#include "update_check/rollout.h"
#include "update_check/update_decision.h"

namespace {

std::vector<int> LaterApplying(const UpdateManifest& manifest, const ManifestPacket* first,
                               const std::string& installed)
{
    std::vector<int> sections;
    if (!first)
        return sections;
    for (const ManifestPacket& packet : manifest.packets) {
        if (packet.section > first->section && PacketApplies(packet, installed))
            sections.push_back(packet.section);
    }
    return sections;
}

std::optional<VersionFields> Predecessor(VersionFields fields)
{
    for (int i = 3; i >= 0; --i) {
        if (fields[i] > 0) {
            --fields[i];
            for (int j = i + 1; j < 4; ++j)
                fields[j] = UINT32_MAX;
            return fields;
        }
    }
    return std::nullopt;
}

std::string Plural(size_t n, const char* one) { return std::to_string(n) + " " + one + (n == 1 ? "" : "s"); }

// A run fetches one URL of the list, picked at random; one that the module
// cannot fetch fails the run and records nothing.
std::string FailingRuns(const Offer& offer)
{
    size_t failing = offer.unfetchable.size(), all = offer.urls.size();
    std::string which = " (" + offer.unfetchable.front() + (failing > 1 ? ", ..." : "") +
                        "; the module fetches http:// and https:// only)";
    if (failing == all)
        return ", but every run fails: " + std::string(all == 1 ? "the URL is" : "no URL is") + " one the module fetches" + which;
    return ", but " + std::to_string(failing) + " of " + std::to_string(all) +
           " runs fail: they pick a URL the module cannot fetch" + which;
}

}  // namespace

Offer OfferFor(const UpdateManifest& manifest, const std::string& installed, bool testMode, bool keyed,
               const std::optional<std::string>& recorded)
{
    framework::TraceCollector quiet;  // the traces belong to explain, not to a table
    UpdateDecision decision = DecideUpdate(manifest, installed, recorded, testMode);
    RunParameters run;
    run.installedVersion = installed;
    run.testMode = testMode ? 1 : 0;
    Offer offer;
    offer.offered = TakeDecision(decision, manifest, keyed, run, offer.force, offer.urls);
    offer.newer = decision.newer;
    offer.packet = decision.packet ? decision.packet->section : -1;
    offer.alsoApplies = LaterApplying(manifest, decision.packet, installed);
    offer.fallback = decision.offer() && (!decision.packet || decision.packet->files.empty());
    offer.pinRefused = decision.offer() && !offer.offered;
    offer.unfetchable = Unfetchable(offer.urls);
    offer.silent = run.silentUpdate;
    // A refused pin is shown as read: it says why.
    offer.pin = offer.pinRefused ? decision.pin : run.packagePin;
    offer.version = run.offeredVersion;
    if (offer.offered && !testMode)
        offer.rollout = manifest.rollout;
    return offer;
}

std::vector<std::string> Unfetchable(const std::vector<std::string>& urls)
{
    std::vector<std::string> failing;
    std::copy_if(urls.begin(), urls.end(), std::back_inserter(failing),
                 [](const std::string& url) { return !FetchableUrl(url); });
    return failing;
}

double FailShare(const std::vector<std::string>& urls)
{
    return urls.empty() ? 0.0 : static_cast<double>(Unfetchable(urls).size()) / static_cast<double>(urls.size());
}

bool SameOffer(const Offer& a, const Offer& b)
{
    if (a.offered != b.offered)
        return false;
    return !a.offered || (a.urls == b.urls && a.force == b.force && a.silent == b.silent &&
                          a.version == b.version && a.pin.digest == b.pin.digest &&
                          a.pin.size == b.pin.size);
}

std::string DescribeOffer(const Offer& offer, bool testMode)
{
    std::string source = offer.fallback ? "[Full] list" : "[Packet" + std::to_string(offer.packet) + "]";
    if (offer.offered) {
        std::string text = source + ", " + Plural(offer.urls.size(), "URL") +
                           ", force " + std::to_string(static_cast<DWORD>(offer.force)) +
                           ", silent " + std::to_string(offer.silent);
        if (offer.fallback && offer.packet >= 0)
            text += " ([Packet" + std::to_string(offer.packet) + "] applies but lists no file)";
        if (!offer.unfetchable.empty())
            text += FailingRuns(offer);
        if (offer.rollout)
            text += RolloutShare(*offer.rollout)
                        ? ", to " + *offer.rollout + "% of installations (Rollout)"
                        : ", to none: Rollout '" + *offer.rollout + "' is no percentage";
        return text;
    }
    if (offer.refused)
        return "nothing: a module built with the key refuses the manifest (" + *offer.refused + ")";
    if (!offer.newer)
        return "nothing: up to date";
    if (offer.pinRefused && !offer.pin.readable)
        return "nothing: " + source + " has a sha256 or size that is unreadable, which every module since "
                                      "pinning refuses, keyed or not";
    if (offer.pinRefused)
        return "nothing: " + source + " is not pinned, which a keyed module refuses";
    if (offer.packet >= 0)
        return "nothing: [Packet" + std::to_string(offer.packet) + "] applies but lists no file" +
               (testMode ? " (test mode has no fallback)" : ", nor does [Full]");
    return testMode ? "nothing: no packet applies (test mode has no fallback)"
                    : "nothing: no packet applies and [Full] lists no file";
}

std::string VersionText(const VersionFields& fields)
{
    return std::to_string(fields[0]) + "." + std::to_string(fields[1]) + "." +
           std::to_string(fields[2]) + "." + std::to_string(fields[3]);
}

bool ReadsAsFourNumbers(const std::string& text)
{
    size_t start = 0;
    for (int field = 0; field < 4; ++field) {
        size_t end = field < 3 ? text.find('.', start) : text.size();
        if (end == std::string::npos || end == start || end - start > 10)
            return false;
        std::string digits = text.substr(start, end - start);
        if (digits.find_first_not_of("0123456789") != std::string::npos ||
            std::stoull(digits) > UINT32_MAX)
            return false;
        start = end + 1;
    }
    return true;
}

std::vector<VersionFields> Boundaries(const UpdateManifest& manifest)
{
    std::vector<VersionFields> bounds{ReadVersion(manifest.version.c_str())};
    for (const ManifestPacket& packet : manifest.packets) {
        bounds.push_back(ReadVersion(packet.min.c_str()));
        bounds.push_back(ReadVersion(packet.max.c_str()));
    }
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
    return bounds;
}

std::vector<VersionFields> Boundaries(const UpdateManifest& a, const UpdateManifest& b)
{
    std::vector<VersionFields> bounds = Boundaries(a), more = Boundaries(b);
    bounds.insert(bounds.end(), more.begin(), more.end());
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
    return bounds;
}

std::vector<CoverageRow> Coverage(const std::vector<VersionFields>& bounds,
                                  const UpdateManifest& manifest, bool testMode, bool keyed,
                                  const std::optional<std::string>& refused)
{
    auto offerFor = [&](const std::string& tried) {
        if (!refused)
            return OfferFor(manifest, tried, testMode, keyed);
        Offer nothing;
        nothing.refused = refused;
        return nothing;
    };
    std::vector<CoverageRow> rows;
    if (bounds.empty())
        return rows;
    if (std::optional<VersionFields> below = Predecessor(bounds.front())) {
        std::string tried = VersionText(*below);
        rows.push_back({VersionFields{}, bounds.front(), tried, offerFor(tried)});
    }
    for (size_t i = 0; i < bounds.size(); ++i) {
        std::optional<VersionFields> to;
        if (i + 1 < bounds.size())
            to = bounds[i + 1];
        std::string tried = VersionText(bounds[i]);
        rows.push_back({bounds[i], to, tried, offerFor(tried)});
    }
    return rows;
}

std::string RangeText(const CoverageRow& row) { return RangeText(row, row); }

std::string RangeText(const CoverageRow& first, const CoverageRow& last)
{
    if (!last.to)
        return VersionText(first.from) + " and above";
    if (first.from == VersionFields{})
        return "below " + VersionText(*last.to);
    return VersionText(first.from) + " up to " + VersionText(*last.to);
}
