#include "manifest_check.h"

#include <algorithm>
#include <map>

#include "framework/path.h"
#include "key_check.h"
#include "offers.h"
#include "rollout_check.h"
#include "signing/manifest_signature.h"
#include "signing/manifest_trust.h"
#include "transfer/transfer_rules.h"
#include "update_check/manifest_location.h"
#include "update_check/version_compare.h"

namespace {

bool SameName(const std::string& a, const std::string& b) { return _stricmp(a.c_str(), b.c_str()) == 0; }

bool StartsWith(const std::string& text, const char* prefix)
{
    return _strnicmp(text.c_str(), prefix, strlen(prefix)) == 0;
}

std::string Quoted(const std::string& section) { return "[" + section + "]"; }

// A version text as given, and what an empty one reads as.
std::string Given(const std::string& version) { return version.empty() ? "(empty: 0.0.0.0)" : version; }

std::string Range(const ManifestPacket& packet) { return Given(packet.min) + " up to " + Given(packet.max); }

// "\"2.4\" is not written as four numbers ..." of a version text the module fills out.
std::string NotFourNumbers(const std::string& text)
{
    std::string read = VersionText(ReadVersion(text.c_str()));
    if (text.empty())
        return "is empty: the module takes it for " + read;
    return "\"" + text + "\" is not written as four numbers a.b.c.d: the module takes it for " + read;
}

class Checker {
public:
    Checker(const ManifestInput& input, const CheckOptions& options)
        : input_(input), options_(options), manifest_(ReadUpdateManifest(input.path)),
          rows_(Coverage(Boundaries(manifest_), manifest_, options.testMode, !options.keys.empty()))
    {
    }

    std::vector<Finding> Run()
    {
        if (!CheckSections())
            return findings_;
        CheckVersion();
        for (const ManifestPacket& packet : manifest_.packets)
            CheckPacket(packet);
        CheckList("Full", manifest_.files);
        CheckSharedPins();
        CheckReached();
        CheckFallback();
        CheckWhoGetsNothing();
        CheckSigning();
        CheckAgainstPrevious();
        if (testMode())
            CheckWhatTestModeIgnores();
        else
            CheckRolloutAndWithdrawal(manifest_, findings_);
        CheckKeys(input_.path, manifest_, findings_);
        return findings_;
    }

private:
    bool keyed() const { return !options_.keys.empty(); }
    bool testMode() const { return options_.testMode; }

    void Add(Severity severity, const std::string& section, const std::string& key, std::string message)
    {
        findings_.push_back({severity, section, key, std::move(message)});
    }

    std::vector<std::string> Keys(const std::string& section) const
    {
        return framework::ReadProfileKeyNames(section, input_.path);
    }
    bool HasKey(const std::string& section, const char* key) const
    {
        std::vector<std::string> keys = Keys(section);
        return std::any_of(keys.begin(), keys.end(), [&](const std::string& k) { return SameName(k, key); });
    }
    std::string Text(const std::string& section, const char* key) const
    {
        return framework::ReadProfileString(section.c_str(), key, "", input_.path);
    }

    bool CheckSections()
    {
        std::vector<std::string> sections = framework::ReadProfileSectionNames(input_.path);
        if (input_.utf16)
            Add(Severity::Note, "", "", "the file is UTF-16: the module reads it, but older tools may not");
        if (input_.controlByte)
            Add(Severity::Warning, "", "", ControlByteWarning(input_));
        if (std::none_of(sections.begin(), sections.end(), [](const std::string& s) { return SameName(s, "Full"); })) {
            Add(Severity::Error, "Full", "", "there is no [Full] section: no installation is offered anything");
            return false;
        }
        for (const std::string& section : sections) {
            if (SameName(section, "Full") || IsReadPacket(section))
                continue;
            if (StartsWith(section, "Packet"))
                Add(Severity::Error, section, "",
                    "is never read: " + LeadingZero(section, "Packet") +
                        ReadRange("Packet", Count("Full", "PacketCount"), "PacketCount", Text("Full", "PacketCount")));
            else
                Add(Severity::Note, section, "", "is not a section the module reads");
        }
        CheckPacketCount();
        return true;
    }

    bool IsReadPacket(const std::string& section) const
    {
        return std::any_of(manifest_.packets.begin(), manifest_.packets.end(), [&](const ManifestPacket& p) {
            return SameName(section, "Packet" + std::to_string(p.section));
        });
    }

    static std::string LeadingZero(const std::string& name, const char* prefix)
    {
        return HasLeadingZero(name, prefix)
                   ? std::string("the module looks ") + prefix + " names up without leading zeros (" + prefix +
                         std::to_string(std::stoll(name.substr(strlen(prefix)))) + ", not " + name + "); "
                   : "";
    }

    // What the module reads of prefix%d names for a count given as text.
    static std::string ReadRange(const char* prefix, int count, const char* key, const std::string& text)
    {
        std::string given = std::string(" (") + key + " " + (text.empty() ? "missing" : text) + ")";
        if (count <= 0)
            return std::string("the module reads no ") + prefix + " entry" + given;
        return std::string("the module reads ") + prefix + "0 up to " + prefix + std::to_string(count - 1) + given;
    }

    int Count(const std::string& section, const char* key) const
    {
        return static_cast<int>(GetPrivateProfileIntA(section.c_str(), key, 0, input_.path.c_str()));
    }

    void CheckPacketCount()
    {
        long long declared = std::max(0, Count("Full", "PacketCount"));
        long long missing = declared - static_cast<long long>(manifest_.packets.size());
        if (missing > 0)
            Add(Severity::Warning, "Full", "PacketCount",
                "is " + std::to_string(declared) + " but " + std::to_string(missing) +
                    " of those sections are missing (they are skipped)");
    }

    void CheckVersion()
    {
        if (testMode()) {
            if (!HasKey("Full", "Ver") || !ReadsAsFourNumbers(manifest_.version))
                Add(Severity::Note, "Full", "Ver",
                    "is " + (HasKey("Full", "Ver") ? "\"" + manifest_.version + "\"" : std::string("missing")) +
                        ": test mode offers the packets whatever Ver says");
            return;
        }
        if (!HasKey("Full", "Ver"))
            Add(Severity::Error, "Full", "Ver", "is missing: it reads as 0.0.0.0, which updates nobody");
        else if (!ReadsAsFourNumbers(manifest_.version))
            Add(Severity::Error, "Full", "Ver",
                NotFourNumbers(manifest_.version));
    }

    void CheckPacket(const ManifestPacket& packet)
    {
        std::string section = "Packet" + std::to_string(packet.section);
        for (const char* key : {"min", "max"}) {
            std::string text = key[1] == 'i' ? packet.min : packet.max;
            if (HasKey(section, key) && !ReadsAsFourNumbers(text))
                Add(Severity::Error, section, key, NotFourNumbers(text));
        }
        CheckList(section, packet.files);
        if (!HasKey(section, "max")) {
            Add(Severity::Error, section, "max", "is missing: it reads as 0.0.0.0, so the packet never applies");
            return;
        }
        VersionFields low = ReadVersion(packet.min.c_str()), high = ReadVersion(packet.max.c_str());
        if (!(low < high)) {
            Add(Severity::Error, section, "min",
                "is not below max (" + Range(packet) + "): the packet applies to no version");
            return;
        }
        if (CheckShadow(packet, section) || testMode())
            return;
        CheckAgainstVer(packet, section, low, high);
    }

    // True when no version reaches the packet.
    bool CheckShadow(const ManifestPacket& packet, const std::string& section)
    {
        VersionFields low = ReadVersion(packet.min.c_str()), high = ReadVersion(packet.max.c_str());
        std::vector<std::pair<VersionFields, VersionFields>> earlier;
        std::string takers;
        int count = 0;
        for (const ManifestPacket& other : manifest_.packets) {
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
            Add(Severity::Error, section, "",
                "is never used: " + takers + (count == 1 ? " takes" : " take") + " every version from " + Range(packet) +
                    " first (the first applying packet wins)");
            return true;
        }
        Add(Severity::Warning, section, "min",
            "overlaps " + takers + (count == 1 ? ", which takes" : ", which take") + " the versions they share first (the first applying packet wins)");
        return false;
    }

    void CheckAgainstVer(const ManifestPacket& packet, const std::string& section, const VersionFields& low,
                         const VersionFields& high)
    {
        VersionFields ver = ReadVersion(manifest_.version.c_str());
        if (!(low < ver)) {
            Add(Severity::Error, section, "min",
                "is not below Ver " + Given(manifest_.version) +
                    ": every version the packet applies to is already up to date, so it is never used");
            return;
        }
        if (ver < high)
            Add(Severity::Warning, section, "max",
                "is above Ver " + Given(manifest_.version) + ": versions from " + Given(manifest_.version) +
                    " on are up to date and never get the packet");
        if (packet.files.empty()) {
            Add(Severity::Warning, section, "FileCount",
                "the packet applies to " + Range(packet) + " but lists no file: those installations get " +
                    (manifest_.files.empty() ? "nothing, as [Full] lists no file either"
                                             : "[Full]'s list instead (and nothing in test mode)"));
        }
        if (high < ver) {
            Offer atMax = OfferFor(manifest_, VersionText(high), false, keyed());
            if (atMax.packet < 0)
                Add(Severity::Warning, section, "max",
                    "is exclusive: installed " + VersionText(high) + " itself gets " +
                        DescribeOffer(atMax, false) + ", not [" + section + "]");
        }
    }

    void CheckList(const std::string& section, const std::vector<std::string>& urls)
    {
        long long count = std::max(0, Count(section, "FileCount"));
        for (const std::string& key : Keys(section)) {
            if (!StartsWith(key, "File") || SameName(key, "FileCount"))
                continue;
            std::string digits = key.substr(4);
            if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
                continue;  // not a File entry: a near miss of FileCount, say, which CheckKeys names
            bool canonical = digits.size() <= 10 && (digits.size() == 1 || digits[0] != '0');
            if (!canonical || std::stoll(digits) >= count) {
                Add(Severity::Error, section, key,
                    "is never read: " + LeadingZero(key, "File") +
                        ReadRange("File", Count(section, "FileCount"), "FileCount", Text(section, "FileCount")));
                continue;
            }
            std::string url = Text(section, key.c_str());
            if (!url.empty() && !FetchableUrl(url))
                Add(Severity::Error, section, key,
                    "\"" + url + "\" is not a URL the module fetches (plain http://server[:port]/path): " +
                        "the runs that pick it, " + std::to_string(Unfetchable(urls).size()) + " in " +
                        std::to_string(urls.size()) + " for this list, fail");
        }
        if (static_cast<long long>(urls.size()) < count)
            Add(Severity::Warning, section, "FileCount",
                "is " + std::to_string(count) + " but " + std::to_string(urls.size()) +
                    " URLs are given (missing and empty entries are skipped)");
        if (!urls.empty())
            CheckPin(section);
    }

    void CheckPin(const std::string& section)
    {
        std::string sha256 = Text(section, "sha256"), size = Text(section, "size");
        PackagePin pin = ReadPackagePin(sha256, size);
        if (!sha256.empty() && !ReadPackagePin(sha256, "").readable)
            Add(Severity::Error, section, "sha256",
                "is not 64 hex digits: every module since pinning, keyed or not, refuses the package "
                "(older ones fetch it unchecked)");
        if (!size.empty() && !ReadPackagePin("", size).readable)
            Add(Severity::Error, section, "size",
                "is not a number of bytes: every module since pinning, keyed or not, refuses the package "
                "(older ones fetch it unchecked)");
        if (pin.readable && !pin.complete()) {
            const char* key = pin.digest ? "size" : "sha256";
            if (keyed())
                Add(Severity::Error, section, key, "is missing: a module built with the key refuses the package");
            else
                Add(Severity::Note, section, key, "is missing: only modules built without a key fetch the package");
        }
        pins_[section] = pin;
    }

    // Every URL is a copy of one package: lists that share a URL must pin it alike.
    void CheckSharedPins()
    {
        std::map<std::string, std::string> listOf;
        auto visit = [&](const std::string& section, const std::vector<std::string>& urls) {
            for (const std::string& url : urls) {
                auto [it, fresh] = listOf.emplace(url, section);
                if (!fresh && !SamePin(pins_[it->second], pins_[section]))
                    Add(Severity::Error, section, "sha256",
                        "pins " + url + " unlike [" + it->second + "] does: one of them is refused");
            }
        };
        for (const ManifestPacket& packet : manifest_.packets)
            visit("Packet" + std::to_string(packet.section), packet.files);
        visit("Full", manifest_.files);
    }

    static bool SamePin(const PackagePin& a, const PackagePin& b)
    {
        return a.readable == b.readable && a.digest == b.digest && a.size == b.size;
    }

    static bool GetsNothing(const CoverageRow& row)
    {
        return row.offer.newer && (!row.offer.offered || row.offer.unfetchable.size() == row.offer.urls.size());
    }

    // A manifest whose Ver is newer for someone must offer that someone a
    // package; the ranges that get nothing are named with the reason.
    void CheckWhoGetsNothing()
    {
        bool newer = std::any_of(rows_.begin(), rows_.end(), [](const CoverageRow& r) { return r.offer.newer; });
        if (newer && std::all_of(rows_.begin(), rows_.end(), [](const CoverageRow& r) { return !r.offer.newer || GetsNothing(r); })) {
            Add(Severity::Error, "Full", "Ver",
                testMode() ? "is offered to nobody: in test mode no installed version finds a package URL "
                             "(no packet applies with files, and test mode has no fallback)"
                           : "is offered to nobody: no installation below " + Given(manifest_.version) +
                                 " finds a package URL (no packet applies with files, and [Full] lists none)");
            return;
        }
        std::map<std::string, std::string> rangesOf;  // by reason
        for (size_t i = 0; i < rows_.size(); ++i) {
            if (!GetsNothing(rows_[i]))
                continue;
            size_t last = i;
            std::string reason = DescribeOffer(rows_[i].offer, testMode());
            while (last + 1 < rows_.size() && GetsNothing(rows_[last + 1]) &&
                   DescribeOffer(rows_[last + 1].offer, testMode()) == reason)
                ++last;
            std::string& ranges = rangesOf[reason];
            ranges += (ranges.empty() ? "" : ", ") + RangeText(rows_[i], rows_[last]);
            i = last;
        }
        for (const auto& [reason, ranges] : rangesOf)
            Add(Severity::Warning, "Full", "",
                "installed versions " + ranges + " get " + reason + (testMode() ? " (in test mode)" : ""));
    }

    // A packet is used when some installed version below Ver reaches it
    // first; coverage rows hold every version once.
    void CheckReached()
    {
        for (const ManifestPacket& packet : manifest_.packets) {
            std::string section = "Packet" + std::to_string(packet.section);
            bool reached = std::any_of(rows_.begin(), rows_.end(), [&](const CoverageRow& r) {
                return r.offer.newer && r.offer.packet == packet.section;
            });
            bool judged = std::any_of(findings_.begin(), findings_.end(), [&](const Finding& f) {
                return f.severity == Severity::Error && f.section == section;
            });
            if (!reached && !judged)
                Add(Severity::Error, section, "",
                    "is never used: every installed version from " + Range(packet) + " is " +
                        (testMode() ? "taken first by an earlier packet"
                                    : "up to date (Ver " + Given(manifest_.version) +
                                          ") or taken first by an earlier packet"));
        }
    }

    void CheckWhatTestModeIgnores()
    {
        if (manifest_.rollout || !manifest_.withdrawn.empty())
            Add(Severity::Note, "Full", manifest_.rollout ? "Rollout" : "Withdrawn",
                "test mode ignores Rollout and Withdrawn: every test run takes the offer");
    }

    void CheckFallback()
    {
        if (manifest_.files.empty())
            return;
        if (testMode()) {
            Add(Severity::Warning, "Full", "FileCount", "lists files, which test mode never fetches (it has no fallback)");
            return;
        }
        if (manifest_.packets.empty())
            return;
        std::string served;
        for (const CoverageRow& row : rows_) {
            if (row.offer.fallback && row.offer.packet < 0)
                served += (served.empty() ? "" : ", ") + RangeText(row);
        }
        if (!served.empty())
            Add(Severity::Note, "Full", "FileCount", "the fallback list serves installed versions " + served);
    }

    void CheckSigning()
    {
        CheckSignature();
        CheckDuplicates();
        CheckChannel();
        if (!manifest_.expires.empty()) {
            std::optional<std::uint64_t> expires = ParseUtcTime(manifest_.expires);
            if (!expires)
                Add(Severity::Error, "Full", "Expires",
                    "\"" + manifest_.expires + "\" is no UTC time such as 2027-03-01T00:00:00Z: keyed modules refuse the manifest");
            else if (*expires <= options_.now)
                Add(Severity::Error, "Full", "Expires", "has passed: keyed modules refuse the manifest");
        } else if (keyed()) {
            Add(Severity::Error, "Full", "Expires", "is missing: a module built with the key refuses the manifest");
        }
        std::optional<std::uint64_t> serial =
            manifest_.serial.empty() ? std::optional<std::uint64_t>(0) : ParseDecimal(manifest_.serial);
        if (!serial) {
            Add(Severity::Error, "Full", "Serial", "\"" + manifest_.serial + "\" is not a number: keyed modules refuse the manifest");
            return;
        }
        if (manifest_.serial.empty() && keyed())
            Add(Severity::Error, "Full", "Serial", "is missing: a module built with the key refuses the manifest");
        if (options_.previousSerial && *serial <= *options_.previousSerial)
            Add(Severity::Error, "Full", "Serial",
                "is " + std::to_string(*serial) + ", not above the previous manifest's " +
                    std::to_string(*options_.previousSerial) +
                    (*serial < *options_.previousSerial ? ": installations that accepted that one refuse this one"
                                                        : ": raise it with every manifest"));
    }

    // The module reads the first of two; another reader may take the second.
    void CheckDuplicates()
    {
        for (const std::string& name : manifest_.duplicates) {
            size_t close = name.find(']');
            std::string section = name.substr(1, close - 1);
            std::string key = close + 2 <= name.size() ? name.substr(close + 2) : "";
            std::string what = key.empty()
                                   ? "the section is given twice: the module reads only the first, and no key of the second"
                                   : "is given twice: the module reads only the first, \"" + Text(section, key.c_str()) + "\"";
            if (keyed())
                Add(Severity::Error, section, key, what + ": a module built with the key refuses the manifest");
            else
                Add(Severity::Warning, section, key, what + "; a module built with a key refuses the manifest");
        }
    }

    void CheckChannel()
    {
        const std::string& channel = manifest_.channel;
        if (channel.empty()) {
            if (keyed())
                Add(Severity::Error, "Full", "Channel",
                    "is missing: a module built with the key refuses the manifest (give the manifest's path, "
                    "such as /vlnr/C/all/C_all.ini)");
            return;
        }
        if (channel[0] != '/' || channel.find_first_of(" \t") != std::string::npos) {
            Add(Severity::Error, "Full", "Channel",
                "\"" + channel + "\" is not a manifest path such as /vlnr/C/all/C_all.ini: keyed modules refuse the manifest");
            return;
        }
        ChannelRequest request = WhichRunsRequest(channel);
        if (request.run == ChannelRun::None) {
            Add(keyed() ? Severity::Warning : Severity::Note, "Full", "Channel",
                "\"" + channel + "\" is a path that no run asks for: servers and clients drop empty and . "
                "segments, resolve .. and take no backslash, so keyed modules refuse the manifest wherever it "
                "is served (give the path as its URL has it, such as /vlnr/C/all/C_all.ini)");
            return;
        }
        Add(Severity::Note, "Full", "Channel", "keyed modules take the manifest only from " + channel + ChannelUse(request));
    }

    // Which runs fetch the manifest path.
    static std::string ChannelUse(const ChannelRequest& request)
    {
        switch (request.run) {
        case ChannelRun::Test: return ", the test manifest (test mode without URL)";
        case ChannelRun::Company: return ", the manifest of the company \"" + request.company + "\"";
        default: return ", which only runs with the URL switch fetch";
        }
    }

    void CheckSignature()
    {
        bool hasLine = SplitSignature(input_.bytes).has_value();
        if (!keyed()) {
            Add(Severity::Note, "", "signature",
                hasLine ? "is present; give --key PUBLIC.pem to verify it"
                        : "is missing: only modules built without a key use the manifest");
            return;
        }
        if (!hasLine) {
            Add(Severity::Error, "", "signature", "is missing: a module built with the key refuses the manifest");
            return;
        }
        bool holds = std::any_of(options_.keys.begin(), options_.keys.end(), [&](const framework::EcPoint& key) {
            return ManifestSignatureHolds(input_.bytes, key);
        });
        if (!holds)
            Add(Severity::Error, "", "signature",
                "does not verify with the given key: the manifest changed after signing, or another key signed it");
    }

    void CheckAgainstPrevious()
    {
        if (!options_.previous || testMode())
            return;
        const UpdateManifest& old = *options_.previous;
        if (CompareVersions(manifest_.version.c_str(), old.version.c_str())) {
            Add(Severity::Error, "Full", "Ver",
                "goes down from " + old.version + ": installations that recorded " + old.version + " get nothing");
            return;
        }
        if (CompareVersions(old.version.c_str(), manifest_.version.c_str()))
            return;
        std::vector<VersionFields> bounds = Boundaries(old, manifest_);
        std::vector<CoverageRow> before = Coverage(bounds, old, false, keyed());
        std::vector<CoverageRow> after = Coverage(bounds, manifest_, false, keyed());
        for (size_t i = 0; i < before.size(); ++i) {
            if (!SameOffer(before[i].offer, after[i].offer)) {
                Add(Severity::Error, "Full", "Ver",
                    "is still " + old.version + " but what it offers changed: installations that "
                    "recorded the earlier package never fetch the new one (raise Ver)");
                return;
            }
        }
    }

    const ManifestInput& input_;
    const CheckOptions& options_;
    UpdateManifest manifest_;
    std::vector<CoverageRow> rows_;  // what every installed version gets
    std::map<std::string, PackagePin> pins_;
    std::vector<Finding> findings_;
};

}  // namespace

std::vector<Finding> CheckManifest(const ManifestInput& input, const CheckOptions& options)
{
    return Checker(input, options).Run();
}

const char* SeverityName(Severity severity)
{
    switch (severity) {
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    default: return "note";
    }
}
