// Where a run finds its update manifest, and where it keeps it.
#pragma once

#include <string>

struct ManifestLocation {
    std::string url;
    std::string fileName;  // in the temporary folder
};

// The URL switch wins in either mode. Test mode has one manifest for all
// installations; normal mode one per company.
ManifestLocation ChooseManifest(bool testMode, const std::string& urlOverride,
                                const std::string& company);
