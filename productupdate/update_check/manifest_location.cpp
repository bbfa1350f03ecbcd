#include "manifest_location.h"

#include "framework/url.h"
#include "shared/facts.h"
#include "update_server.h"

namespace {

// An absolute path whose segments a server maps as they stand. Empty, "."
// and ".." segments and backslashes are normalised away by servers and
// clients alike, so a path with them is never the one a run asked for, and
// a manifest signed for it is refused wherever it is served. The query and
// fragment are not segments; an empty last segment is a folder's own path.
bool RequestablePath(const std::string& channel)
{
    std::string path = channel.substr(0, channel.find_first_of("?#"));
    if (path.empty() || path[0] != '/' || path.find('\\') != std::string::npos)
        return false;
    for (size_t start = 1; start < path.size();) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        std::string segment = path.substr(start, end - start);
        if (segment.empty() || segment == "." || segment == "..")
            return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

ManifestLocation ChooseManifest(bool testMode, const std::string& urlOverride,
                                const std::string& company)
{
    ManifestLocation location;
    if (testMode) {
        location.url = std::string("http://") + kUpdateServerHost + kTestManifestPath;
        location.fileName = "VLNRUpdateT.ini";
    } else {
        location.url = std::string("http://") + kUpdateServerHost + CompanyManifestPath(company);
        location.fileName = "VLNRUpdate.ini";
    }
    if (!urlOverride.empty())
        location.url = urlOverride;
    location.channel = ManifestChannel(location.url);
    return location;
}

std::string ManifestChannel(const std::string& url)
{
    framework::ParsedUrl parsed;
    if (!framework::ParseUrl(url, parsed))
        return "";
    return parsed.object;
}

ChannelRequest WhichRunsRequest(const std::string& channel)
{
    ChannelRequest request;
    if (!RequestablePath(channel))
        return request;
    if (channel == kTestManifestPath) {
        request.run = ChannelRun::Test;
        return request;
    }
    // The company's name ends where "/all/" begins; a name may hold "/all/"
    // itself, so each place is tried.
    const size_t first = sizeof(kCompanyFolders) - 1;
    if (channel.compare(0, first, kCompanyFolders) == 0) {
        for (size_t end = channel.find("/all/", first); end != std::string::npos;
             end = channel.find("/all/", end + 1)) {
            std::string company = channel.substr(first, end - first);
            if (CompanyManifestPath(company) == channel) {
                request.run = ChannelRun::Company;
                request.company = company;
                return request;
            }
        }
    }
    request.run = ChannelRun::UrlSwitch;
    return request;
}
