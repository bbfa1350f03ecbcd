#include "comparison.h"

#include <algorithm>

namespace {

std::string Join(const std::vector<std::string>& items)
{
    std::string out = "[";
    for (const std::string& item : items)
        out += (out.size() > 1 ? ", " : "") + item;
    return out + "]";
}

bool Holds(const std::vector<std::string>& list, const std::string& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

// The tool's lines, one after another, among the run's.
bool ContainsBlock(const std::vector<std::string>& run, const std::vector<std::string>& block)
{
    return std::search(run.begin(), run.end(), block.begin(), block.end()) != run.end();
}

std::string Number(const std::optional<DWORD>& value) { return value ? std::to_string(*value) : "none"; }

class Judge {
public:
    Judge(const DiffCase& c, const JsonValue& told, const ModuleOutcome& did) : c_(c), told_(told), did_(did) {}

    std::vector<Disagreement> Verdicts()
    {
        if (!did_.manifestRequested)
            Differ("the run did not fetch the manifest", "requests " + Join(did_.packageRequests));
        std::vector<std::string> trace = told_["trace"].Texts();
        if (!ContainsBlock(did_.trace, trace))
            Differ("the tool's trace lines are not the run's", "tool " + Join(trace) + "\n    run  " + Join(did_.trace));
        if (!told_["trusted"].flag)
            Nothing("the tool refuses the manifest");
        else if (told_["result"].flag)
            Offered();
        else
            Nothing("the tool offers nothing");
        Record();
        return found_;
    }

private:
    void Differ(const std::string& category, const std::string& detail) { found_.push_back({category, detail}); }

    void Nothing(const std::string& why)
    {
        if (!did_.packageRequests.empty())
            Differ(why + ", but the run fetched a package", Join(did_.packageRequests));
        if (did_.recorded || did_.started)
            Differ(why + ", but the run " + (did_.started ? "started" : "recorded") + " the package", "");
    }

    // The tool's URLs that a request for this target is for.
    std::vector<std::string> Meant(const std::string& target, const std::vector<std::string>& urls)
    {
        std::vector<std::string> meant;
        for (const std::string& url : urls)
            if (InstalledModule::ProxyTarget(url) == target)
                meant.push_back(url);
        return meant;
    }

    void Offered()
    {
        std::vector<std::string> urls = told_["urls"].Texts();
        // Without "fetchable" the tool claims that every one of its URLs is fetched.
        bool saysFetchable = told_.Has("fetchable");
        std::vector<std::string> fetchable = saysFetchable ? told_["fetchable"].Texts() : urls;
        double failShare = told_.Has("failShare") ? told_["failShare"].number : 0;
        if (did_.packageRequests.size() > 1)
            Differ("the run fetched more than one package", Join(did_.packageRequests));
        if (did_.packageRequests.empty()) {
            if (failShare <= 0)
                Differ("the tool offers a package, but the run fetched none",
                       "urls " + Join(urls) + (saysFetchable ? ", fetchable " + Join(fetchable) : ""));
            else if (did_.recorded || did_.started)
                Differ("the run fetched nothing, yet recorded", "");
            return;
        }
        if (failShare >= 1)
            Differ("the tool says no URL can be fetched, but the run fetched one", Join(did_.packageRequests));
        const std::string& target = did_.packageRequests.front();
        std::vector<std::string> meant = Meant(target, urls);
        if (meant.empty())
            Differ("the run fetched a URL that is not among the tool's urls", target + " not in " + Join(urls));
        else if (std::none_of(meant.begin(), meant.end(), [&](const std::string& u) { return Holds(fetchable, u); }))
            Differ("the run fetched a URL that the tool calls unfetchable", target + " not in " + Join(fetchable));
        if (c_.installation.testMode) {
            if (!did_.started)
                Differ("test mode: the tool offers a package, but the run did not start it", "");
            return;
        }
        if (!did_.recorded) {
            Differ("the tool offers a package, the run fetched it but recorded nothing", target);
            return;
        }
        std::string version = told_["offeredVersion"].text;
        auto force = static_cast<DWORD>(told_["force"].number), silent = static_cast<DWORD>(told_["silent"].number);
        if (did_.updateVersion != version || did_.force != force || did_.silent != silent || did_.hasUpdate != 1u)
            Differ("the record is not the tool's offer",
                   "tool UpdateVersion " + version + " force " + std::to_string(force) + " Silent " +
                       std::to_string(silent) + "; run HasUpdate " + Number(did_.hasUpdate) + " UpdateVersion " +
                       did_.updateVersion.value_or("none") + " force " + Number(did_.force) + " Silent " +
                       Number(did_.silent));
    }

    // A record from before the run stays as it was unless the tool takes it
    // back or the run replaced it with its own.
    void Record()
    {
        if (!c_.installation.record || did_.recorded)
            return;
        const PendingRecord& before = *c_.installation.record;
        bool kept = did_.hasUpdate == before.hasUpdate && did_.updateVersion == before.version;
        bool gone = !did_.updateVersion && (!did_.hasUpdate || *did_.hasUpdate == 0);
        bool withdrawn = told_["trusted"].flag && told_["withdrawn"].flag;
        if (withdrawn && !gone)
            Differ("the tool withdraws the record, but the run kept it", "");
        if (!withdrawn && !kept)
            Differ("the run changed the record, which the tool leaves",
                   "run HasUpdate " + Number(did_.hasUpdate) + " UpdateVersion " + did_.updateVersion.value_or("none"));
    }

    const DiffCase& c_;
    const JsonValue& told_;
    const ModuleOutcome& did_;
    std::vector<Disagreement> found_;
};

}  // namespace

std::vector<Disagreement> Compare(const DiffCase& c, const ToolAnswer& tool, const ModuleOutcome& module)
{
    if (tool.exitCode != 0 || !tool.json || tool.json->Has("error"))
        return {{"explain --json fails",
                 tool.json && tool.json->Has("error") ? (*tool.json)["error"].text : tool.output}};
    std::vector<Disagreement> found = Judge(c, *tool.json, module).Verdicts();
    if (tool.textExitCode != 0)
        found.push_back({"explain as text fails where --json succeeds", tool.textOutput});
    return found;
}

std::string DescribeOutcome(const ToolAnswer& tool, const ModuleOutcome& module)
{
    std::string out = "  tool: " + tool.commandLine + "\n";
    if (tool.json) {
        const JsonValue& j = *tool.json;
        out += "    trusted " + std::string(j["trusted"].flag ? "true" : "false") + ", result " +
               (j["result"].flag ? "true" : "false") + ", urls " + Join(j["urls"].Texts()) +
               (j.Has("fetchable") ? ", fetchable " + Join(j["fetchable"].Texts()) : "") +
               (j.Has("failShare") ? ", failShare " + std::to_string(j["failShare"].number) : "") +
               ", force " + std::to_string(static_cast<long>(j["force"].number)) + ", silent " +
               std::to_string(static_cast<long>(j["silent"].number)) + ", offeredVersion " +
               j["offeredVersion"].text + ", withdrawn " + (j["withdrawn"].flag ? "true" : "false") +
               "\n    verdict: " + j["verdict"].text + "\n";
    } else {
        out += "    " + tool.output + "\n";
    }
    out += "  module: package requests " + Join(module.packageRequests) + ", record HasUpdate " +
           Number(module.hasUpdate) + " UpdateVersion " + module.updateVersion.value_or("none") + " force " +
           Number(module.force) + " Silent " + Number(module.silent) + (module.recorded ? " (written by the run)" : "") +
           (module.copied ? ", copied" : "") + (module.started ? ", started" : "") + "\n    trace " +
           Join(module.trace) + "\n";
    return out;
}
