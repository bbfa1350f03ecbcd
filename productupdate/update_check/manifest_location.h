// Where a run finds its update manifest, and where it keeps it.
#pragma once

#include <string>

struct ManifestLocation {
    std::string url;
    std::string fileName;  // in the temporary folder
    // What a signed manifest names in [Full] Channel: the path that the run
    // asks the server for (with a query, if the URL has one), for example
    // "/vlnr/demo/all/demo_all.ini". Empty for a URL that cannot be fetched.
    std::string channel;
};

// The URL switch wins in either mode. Test mode has one manifest for all
// installations; normal mode one per company.
ManifestLocation ChooseManifest(bool testMode, const std::string& urlOverride,
                                const std::string& company);

// The channel of a manifest URL: the object path the session requests.
std::string ManifestChannel(const std::string& url);

// Which runs ask the server for a channel, so that a publisher learns where a
// manifest signed for it is taken.
enum class ChannelRun {
    None,       // none: a path that servers and clients normalise first
    Test,       // test mode without the URL switch
    Company,    // normal mode without the URL switch, for one company
    UrlSwitch,  // only runs given a URL whose path this is
};
struct ChannelRequest {
    ChannelRun run = ChannelRun::None;
    std::string company;  // for ChannelRun::Company
};
ChannelRequest WhichRunsRequest(const std::string& channel);
