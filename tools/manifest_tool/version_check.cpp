#include "version_check.h"

#include <algorithm>
#include <map>

#include "list_check.h"
#include "update_check/version_compare.h"

namespace {

// "\"2.4\" is not written as four numbers ..." of a version text the module fills out.
std::string NotFourNumbers(const std::string& text)
{
    std::string read = VersionText(ReadVersion(text.c_str()));
    if (text.empty())
        return "is empty: the module takes it for " + read;
    return "\"" + text + "\" is not written as four numbers a.b.c.d: the module takes it for " + read;
}

// True when no version reaches the packet.
bool CheckShadow(CheckContext& check, const ManifestPacket& packet, const std::string& section)
{
    VersionFields low = ReadVersion(packet.min.c_str()), high = ReadVersion(packet.max.c_str());
    std::vector<std::pair<VersionFields, VersionFields>> earlier;
    std::string takers;
    int count = 0;
    for (const ManifestPacket& other : check.manifest.packets) {
        if (other.section >= packet.section)
            break;
        VersionFields a = ReadVersion(other.min.c_str()), b = ReadVersion(other.max.c_str());
        if (a < b && a < high && low < b) {
            earlier.emplace_back(a, b);
            ++count;
            takers += (takers.empty() ? "" : ", ") + Quoted("Packet" + std::to_string(other.section));
        }
    }
    if (earlier.empty())
        return false;
    std::sort(earlier.begin(), earlier.end());
    VersionFields reached = low;
    for (const auto& [a, b] : earlier) {
        if (a <= reached && reached < b)
            reached = b;
    }
    if (high <= reached) {
        check.Add(Severity::Error, section, "",
                  "is never used: " + takers + (count == 1 ? " takes" : " take") + " every version from " +
                      Range(packet) + " first (the first applying packet wins)");
        return true;
    }
    check.Add(Severity::Warning, section, "min",
              "overlaps " + takers + (count == 1 ? ", which takes" : ", which take") +
                  " the versions they share first (the first applying packet wins)");
    return false;
}

void CheckAgainstVer(CheckContext& check, const ManifestPacket& packet, const std::string& section,
                     const VersionFields& low, const VersionFields& high)
{
    const UpdateManifest& manifest = check.manifest;
    VersionFields ver = ReadVersion(manifest.version.c_str());
    if (!(low < ver)) {
        check.Add(Severity::Error, section, "min",
                  "is not below Ver " + Given(manifest.version) +
                      ": every version the packet applies to is already up to date, so it is never used");
        return;
    }
    if (ver < high)
        check.Add(Severity::Warning, section, "max",
                  "is above Ver " + Given(manifest.version) + ": versions from " + Given(manifest.version) +
                      " on are up to date and never get the packet");
    if (packet.files.empty()) {
        check.Add(Severity::Warning, section, "FileCount",
                  "the packet applies to " + Range(packet) + " but lists no file: those installations get " +
                      (manifest.files.empty() ? "nothing, as [Full] lists no file either"
                                              : "[Full]'s list instead (and nothing in test mode)"));
    }
    if (high < ver) {
        Offer atMax = OfferFor(manifest, VersionText(high), false, check.keyed());
        if (atMax.packet < 0)
            check.Add(Severity::Warning, section, "max",
                      "is exclusive: installed " + VersionText(high) + " itself gets " +
                          DescribeOffer(atMax, false) + ", not [" + section + "]");
    }
}

void CheckPacket(CheckContext& check, const ManifestPacket& packet)
{
    std::string section = "Packet" + std::to_string(packet.section);
    for (const char* key : {"min", "max"}) {
        std::string text = key[1] == 'i' ? packet.min : packet.max;
        if (check.HasKey(section, key) && !ReadsAsFourNumbers(text))
            check.Add(Severity::Error, section, key, NotFourNumbers(text));
    }
    CheckList(check, section, packet.files);
    if (!check.HasKey(section, "max")) {
        check.Add(Severity::Error, section, "max", "is missing: it reads as 0.0.0.0, so the packet never applies");
        return;
    }
    VersionFields low = ReadVersion(packet.min.c_str()), high = ReadVersion(packet.max.c_str());
    if (!(low < high)) {
        check.Add(Severity::Error, section, "min",
                  "is not below max (" + Range(packet) + "): the packet applies to no version");
        return;
    }
    if (CheckShadow(check, packet, section) || check.testMode())
        return;
    CheckAgainstVer(check, packet, section, low, high);
}

bool GetsNothing(const CoverageRow& row)
{
    return row.offer.newer && (!row.offer.offered || row.offer.unfetchable.size() == row.offer.urls.size());
}

}  // namespace

void CheckVersion(CheckContext& check)
{
    const std::string& ver = check.manifest.version;
    bool given = check.HasKey("Full", "Ver");
    if (check.testMode()) {
        if (!given || !ReadsAsFourNumbers(ver))
            check.Add(Severity::Note, "Full", "Ver",
                      "is " + (given ? "\"" + ver + "\"" : std::string("missing")) +
                          ": test mode offers the packets whatever Ver says");
        return;
    }
    if (!given)
        check.Add(Severity::Error, "Full", "Ver", "is missing: it reads as 0.0.0.0, which updates nobody");
    else if (!ReadsAsFourNumbers(ver))
        check.Add(Severity::Error, "Full", "Ver", NotFourNumbers(ver));
}

void CheckPackets(CheckContext& check)
{
    for (const ManifestPacket& packet : check.manifest.packets)
        CheckPacket(check, packet);
}

// A packet is used when some installed version below Ver reaches it first;
// coverage rows hold every version once.
void CheckReached(CheckContext& check)
{
    for (const ManifestPacket& packet : check.manifest.packets) {
        std::string section = "Packet" + std::to_string(packet.section);
        bool reached = std::any_of(check.rows.begin(), check.rows.end(), [&](const CoverageRow& r) {
            return r.offer.newer && r.offer.packet == packet.section;
        });
        bool judged = std::any_of(check.findings.begin(), check.findings.end(), [&](const Finding& f) {
            return f.severity == Severity::Error && f.section == section;
        });
        if (!reached && !judged)
            check.Add(Severity::Error, section, "",
                      "is never used: every installed version from " + Range(packet) + " is " +
                          (check.testMode() ? "taken first by an earlier packet"
                                            : "up to date (Ver " + Given(check.manifest.version) +
                                                  ") or taken first by an earlier packet"));
    }
}

void CheckFallback(CheckContext& check)
{
    if (check.manifest.files.empty())
        return;
    if (check.testMode()) {
        check.Add(Severity::Warning, "Full", "FileCount",
                  "lists files, which test mode never fetches (it has no fallback)");
        return;
    }
    if (check.manifest.packets.empty())
        return;
    std::string served;
    for (const CoverageRow& row : check.rows) {
        if (row.offer.fallback && row.offer.packet < 0)
            served += (served.empty() ? "" : ", ") + RangeText(row);
    }
    if (!served.empty())
        check.Add(Severity::Note, "Full", "FileCount", "the fallback list serves installed versions " + served);
}

// A manifest whose Ver is newer for someone must offer that someone a
// package; the ranges that get nothing are named with the reason.
void CheckWhoGetsNothing(CheckContext& check)
{
    const std::vector<CoverageRow>& rows = check.rows;
    bool testMode = check.testMode();
    bool newer = std::any_of(rows.begin(), rows.end(), [](const CoverageRow& r) { return r.offer.newer; });
    if (newer && std::all_of(rows.begin(), rows.end(),
                             [](const CoverageRow& r) { return !r.offer.newer || GetsNothing(r); })) {
        check.Add(Severity::Error, "Full", "Ver",
                  testMode ? "is offered to nobody: in test mode no installed version finds a package URL "
                             "(no packet applies with files, and test mode has no fallback)"
                           : "is offered to nobody: no installation below " + Given(check.manifest.version) +
                                 " finds a package URL (no packet applies with files, and [Full] lists none)");
        return;
    }
    std::map<std::string, std::string> rangesOf;  // by reason
    for (size_t i = 0; i < rows.size(); ++i) {
        if (!GetsNothing(rows[i]))
            continue;
        size_t last = i;
        std::string reason = DescribeOffer(rows[i].offer, testMode);
        while (last + 1 < rows.size() && GetsNothing(rows[last + 1]) &&
               DescribeOffer(rows[last + 1].offer, testMode) == reason)
            ++last;
        std::string& ranges = rangesOf[reason];
        ranges += (ranges.empty() ? "" : ", ") + RangeText(rows[i], rows[last]);
        i = last;
    }
    for (const auto& [reason, ranges] : rangesOf)
        check.Add(Severity::Warning, "Full", "",
                  "installed versions " + ranges + " get " + reason + (testMode ? " (in test mode)" : ""));
}

void CheckAgainstPrevious(CheckContext& check)
{
    if (!check.options.previous || check.testMode())
        return;
    const UpdateManifest& old = *check.options.previous;
    const UpdateManifest& fresh = check.manifest;
    if (CompareVersions(fresh.version.c_str(), old.version.c_str())) {
        check.Add(Severity::Error, "Full", "Ver",
                  "goes down from " + old.version + ": installations that recorded " + old.version + " get nothing");
        return;
    }
    if (CompareVersions(old.version.c_str(), fresh.version.c_str()))
        return;
    std::vector<VersionFields> bounds = Boundaries(old, fresh);
    std::vector<CoverageRow> before = Coverage(bounds, old, false, check.keyed());
    std::vector<CoverageRow> after = Coverage(bounds, fresh, false, check.keyed());
    for (size_t i = 0; i < before.size(); ++i) {
        if (!SameOffer(before[i].offer, after[i].offer)) {
            check.Add(Severity::Error, "Full", "Ver",
                      "is still " + old.version + " but what it offers changed: installations that "
                      "recorded the earlier package never fetch the new one (raise Ver)");
            return;
        }
    }
}

void CheckWhatTestModeIgnores(CheckContext& check)
{
    const UpdateManifest& manifest = check.manifest;
    if (manifest.rollout || !manifest.withdrawn.empty())
        check.Add(Severity::Note, "Full", manifest.rollout ? "Rollout" : "Withdrawn",
                  "test mode ignores Rollout and Withdrawn: every test run takes the offer");
}
