#include "report.h"

#include <algorithm>

#include "json.h"
#include "update_check/rollout.h"

namespace {

std::string Place(const Finding& finding)
{
    std::string place = finding.section.empty() ? "" : "[" + finding.section + "]";
    if (!finding.key.empty())
        place += (place.empty() ? "" : " ") + finding.key;
    return place.empty() ? "file" : place;
}

std::string Count(size_t n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); }

std::string OfferText(const Offer& offer, bool testMode)
{
    std::string text = DescribeOffer(offer, testMode);
    if (!offer.alsoApplies.empty()) {
        text += " (also applies, never read:";
        for (int section : offer.alsoApplies)
            text += " [Packet" + std::to_string(section) + "]";
        text += ")";
    }
    return text;
}

std::vector<std::string> Fetchable(const std::vector<std::string>& urls)
{
    std::vector<std::string> failing = Unfetchable(urls), fetchable;
    for (const std::string& url : urls)
        if (std::find(failing.begin(), failing.end(), url) == failing.end())
            fetchable.push_back(url);
    return fetchable;
}

std::string PinJson(const PackagePin& pin)
{
    JsonObject json;
    if (pin.digest) {
        static const char hex[] = "0123456789abcdef";
        std::string text;
        for (unsigned char byte : *pin.digest) {
            text += hex[byte >> 4];
            text += hex[byte & 15];
        }
        json.Text("sha256", text);
    } else {
        json.Null("sha256");
    }
    if (pin.size)
        json.Number("size", static_cast<long long>(*pin.size));
    else
        json.Null("size");
    return json.str();
}

std::string OfferJson(const Offer& offer, bool testMode)
{
    std::vector<std::string> also;
    for (int section : offer.alsoApplies)
        also.push_back(std::to_string(section));
    JsonObject json;
    json.Flag("newer", offer.newer);
    if (offer.packet >= 0)
        json.Number("packet", offer.packet);
    else
        json.Null("packet");
    return json.Raw("alsoApplies", JsonArray(also))
        .Flag("fallback", offer.fallback)
        .Flag("offered", offer.offered)
        .Raw("urls", JsonStrings(offer.urls))
        .Raw("unfetchable", JsonStrings(offer.unfetchable))
        .Fraction("failShare", FailShare(offer.urls))
        .Number("force", static_cast<DWORD>(offer.force))
        .Number("silent", offer.silent)
        .Text("version", offer.version)
        .Raw("pin", PinJson(offer.pin))
        .Raw("rollout", offer.rollout ? JsonString(*offer.rollout) : "null")
        .Raw("refused", offer.refused ? JsonString(*offer.refused) : "null")
        .Text("text", OfferText(offer, testMode))
        .str();
}

std::string RowJson(const CoverageRow& row, bool testMode)
{
    JsonObject json;
    json.Text("from", VersionText(row.from));
    if (row.to)
        json.Text("to", VersionText(*row.to));
    else
        json.Null("to");
    return json.Text("tried", row.tried).Raw("offer", OfferJson(row.offer, testMode)).str();
}

std::string Table(const std::vector<std::pair<std::string, std::string>>& lines)
{
    size_t width = 0;
    for (const auto& line : lines)
        width = std::max(width, line.first.size());
    std::string out;
    for (const auto& [left, right] : lines)
        out += left + std::string(width + 2 - left.size(), ' ') + right + "\n";
    return out;
}

// A changed offer, or the same offer to another share of installations.
bool Changed(const CoverageRow& before, const CoverageRow& after)
{
    return !SameOffer(before.offer, after.offer) || before.offer.rollout != after.offer.rollout;
}

std::string WithdrawnText(const UpdateManifest& manifest)
{
    std::string text;
    for (const std::string& version : WithdrawnVersions(manifest.withdrawn))
        text += (text.empty() ? "" : ", ") + version;
    return text.empty() ? "(none)" : text;
}

std::string Side(const char* name, const Offer& offer, bool testMode)
{
    std::string out = std::string("  ") + name + ": " + OfferText(offer, testMode) + "\n";
    for (const std::string& url : offer.urls)
        out += "       " + url + "\n";
    return out;
}

}  // namespace

std::string CheckText(const std::string& name, const std::vector<Finding>& findings)
{
    std::string out;
    size_t counts[3] = {};
    for (const Finding& finding : findings) {
        ++counts[static_cast<int>(finding.severity)];
        out += name + ": " + SeverityName(finding.severity) + ": " + Place(finding) + ": " +
               finding.message + "\n";
    }
    out += name + ": " + Count(counts[0], "error") + ", " + Count(counts[1], "warning") + ", " +
           Count(counts[2], "note") + "\n";
    return out;
}

std::string CheckJson(const std::string& name, const std::vector<Finding>& findings)
{
    std::vector<std::string> items;
    for (const Finding& finding : findings)
        items.push_back(JsonObject()
                            .Text("severity", SeverityName(finding.severity))
                            .Text("section", finding.section)
                            .Text("key", finding.key)
                            .Text("message", finding.message)
                            .str());
    return JsonObject().Raw("manifest", JsonUtf8(name)).Raw("findings", JsonArray(items)).str() + "\n";
}

std::string ExplainText(const Explanation& e, const Installation& installation)
{
    std::vector<std::pair<std::string, std::string>> lines;
    lines.emplace_back("installed", installation.installed);
    if (installation.recorded)
        lines.emplace_back("recorded", *installation.recorded + ", Silent " +
                                           std::to_string(installation.recordedSilent) + ", HasUpdate " +
                                           std::to_string(installation.recordedHasUpdate) +
                                           (installation.recordedHasUpdate ? "" : " (nothing pending; its UpdateVersion still counts)"));
    if (installation.testMode)
        lines.emplace_back("test mode", "on");
    if (e.withdrawn)
        lines.emplace_back("withdrawn", "the recorded " + *installation.recorded +
                                            " is taken back: its record and copy go first");
    lines.emplace_back("base version", e.base + (e.baseIsRecorded ? " (recorded)" : " (installed)"));
    if (e.place)
        lines.emplace_back("rollout place", std::to_string(*e.place) + (installation.draw ? "" : " (of a random draw: give --draw)"));
    lines.emplace_back("Ver", e.ver);
    lines.emplace_back("decision", Verdict(e, installation));
    if (e.result) {
        std::vector<std::string> failing = Unfetchable(e.urls);
        for (const std::string& url : e.urls)
            lines.emplace_back("URL", url + (std::find(failing.begin(), failing.end(), url) != failing.end()
                                                 ? " (the module cannot fetch it: a run that picks it fails)"
                                                 : ""));
        lines.emplace_back("force", std::to_string(static_cast<DWORD>(e.force)));
        lines.emplace_back("Silent", std::to_string(e.silent));
    }
    for (const std::string& warning : e.warnings)
        lines.emplace_back("warning", warning);
    std::string out = Table(lines) + "trace lines:\n";
    for (const std::string& line : e.trace)
        out += "  " + line + "\n";
    return out;
}

std::string ExplainJson(const Explanation& e, const Installation& installation)
{
    JsonObject json;
    json.Text("installed", installation.installed);
    if (installation.recorded)
        json.Text("recorded", *installation.recorded)
            .Number("recordedSilent", installation.recordedSilent)
            .Number("recordedHasUpdate", installation.recordedHasUpdate);
    else
        json.Null("recorded");
    return json.Flag("test", installation.testMode)
               .Flag("trusted", e.trusted)
               .Text("ver", e.ver)
               .Text("base", e.base)
               .Flag("baseIsRecorded", e.baseIsRecorded)
               .Raw("decision", OfferJson(e.offer, installation.testMode))
               .Flag("alreadyPending", e.alreadyPending)
               .Flag("withdrawn", e.withdrawn)
               .Flag("heldBack", e.heldBack)
               .Raw("place", e.place ? std::to_string(*e.place) : "null")
               .Flag("result", e.result)
               .Raw("urls", JsonStrings(e.urls))
               .Raw("fetchable", JsonStrings(Fetchable(e.urls)))
               .Fraction("failShare", FailShare(e.urls))
               .Number("force", static_cast<DWORD>(e.force))
               .Number("silent", e.silent)
               .Text("offeredVersion", e.offeredVersion)
               .Text("info", e.info)
               .Raw("pin", PinJson(e.pin))
               .Text("verdict", Verdict(e, installation))
               .Raw("trace", JsonStrings(e.trace))
               .Raw("warnings", JsonStrings(e.warnings))
               .str() +
           "\n";
}

std::string CoverageText(const std::vector<CoverageRow>& rows, bool testMode)
{
    std::vector<std::pair<std::string, std::string>> lines{{"installed version", "gets"}};
    for (const CoverageRow& row : rows)
        lines.emplace_back(RangeText(row), OfferText(row.offer, testMode));
    return Table(lines);
}

std::string CoverageJson(const std::vector<CoverageRow>& rows, bool testMode)
{
    std::vector<std::string> items;
    for (const CoverageRow& row : rows)
        items.push_back(RowJson(row, testMode));
    return JsonObject().Flag("test", testMode).Raw("rows", JsonArray(items)).str() + "\n";
}

std::string DiffText(const UpdateManifest& old, const UpdateManifest& fresh,
                     const std::vector<CoverageRow>& before, const std::vector<CoverageRow>& after,
                     bool testMode)
{
    std::string out;
    if (WithdrawnText(old) != WithdrawnText(fresh))
        out += "Withdrawn: " + WithdrawnText(old) + " -> " + WithdrawnText(fresh) + "\n";
    for (size_t i = 0; i < before.size(); ++i) {
        if (!Changed(before[i], after[i]))
            continue;
        out += RangeText(before[i]) + ":\n" + Side("old", before[i].offer, testMode) +
               Side("new", after[i].offer, testMode);
    }
    return out.empty() ? "every installed version gets the same offer\n" : out;
}

std::string DiffJson(const UpdateManifest& old, const UpdateManifest& fresh,
                     const std::vector<CoverageRow>& before, const std::vector<CoverageRow>& after,
                     bool testMode)
{
    std::vector<std::string> items;
    for (size_t i = 0; i < before.size(); ++i) {
        if (!Changed(before[i], after[i]))
            continue;
        JsonObject json;
        json.Text("from", VersionText(before[i].from));
        if (before[i].to)
            json.Text("to", VersionText(*before[i].to));
        else
            json.Null("to");
        items.push_back(json.Text("tried", before[i].tried)
                            .Raw("old", OfferJson(before[i].offer, testMode))
                            .Raw("new", OfferJson(after[i].offer, testMode))
                            .str());
    }
    return JsonObject()
               .Flag("test", testMode)
               .Raw("withdrawn", JsonObject()
                                     .Raw("old", JsonStrings(WithdrawnVersions(old.withdrawn)))
                                     .Raw("new", JsonStrings(WithdrawnVersions(fresh.withdrawn)))
                                     .str())
               .Raw("changed", JsonArray(items))
               .str() +
           "\n";
}
