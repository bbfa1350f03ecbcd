#include "list_check.h"

#include <algorithm>

#include "pin_check.h"
#include "shared/facts.h"
#include "transfer/transfer_rules.h"

void CheckList(CheckContext& check, const std::string& section, const std::vector<std::string>& urls)
{
    int count = check.Count(section, "FileCount");
    for (const std::string& key : check.Keys(section)) {
        if (!IsIndexedName(key, "File"))
            continue;  // a near miss of FileCount, say, which CheckKeys names
        if (!ReadIndex(key, "File", count)) {
            check.Add(Severity::Error, section, key,
                      "is never read: " + LeadingZero(key, "File") +
                          ReadRange("File", count, "FileCount", check.Text(section, "FileCount")));
            continue;
        }
        std::string url = check.Text(section, key.c_str());
        if (!url.empty() && !FetchableUrl(url))
            check.Add(Severity::Error, section, key,
                      "\"" + url + "\" is not a URL the module fetches (http:// or https://server[:port]/path): " +
                          "the runs that pick it, " + std::to_string(Unfetchable(urls).size()) + " in " +
                          std::to_string(urls.size()) + " for this list, fail");
    }
    long long given = std::max(0, count);
    if (static_cast<long long>(urls.size()) < given)
        check.Add(Severity::Warning, section, "FileCount",
                  "is " + std::to_string(given) + " but " + std::to_string(urls.size()) +
                      " URLs are given (missing and empty entries are skipped)");
    if (!urls.empty())
        CheckPin(check, section);
}
