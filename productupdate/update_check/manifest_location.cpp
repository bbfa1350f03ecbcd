#include "manifest_location.h"

#include "framework/url.h"
#include "update_server.h"

ManifestLocation ChooseManifest(bool testMode, const std::string& urlOverride,
                                const std::string& company)
{
    ManifestLocation location;
    if (testMode) {
        location.url = std::string("http://") + kUpdateServerHost + "/vlnr/testnet/test.ini";
        location.fileName = "VLNRUpdateT.ini";
    } else {
        location.url = std::string("http://") + kUpdateServerHost + "/vlnr/" + company + "/all/" +
                       company + "_all.ini";
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
