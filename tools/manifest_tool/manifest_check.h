// The traps of a manifest, found before it is published: everything that
// makes some installations get something other than what the publisher
// meant, or nothing at all.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "framework/crypto.h"
#include "manifest_input.h"
#include "update_check/update_manifest.h"

enum class Severity { Error, Warning, Note };

struct Finding {
    Severity severity;
    std::string section;  // "Full", "Packet0", ...; empty for the file as a whole
    std::string key;      // empty for the section as a whole
    std::string message;
};

struct CheckOptions {
    std::vector<framework::EcPoint> keys;         // check as a module built with them does
    std::optional<std::uint64_t> previousSerial;  // the Serial of the manifest published before
    std::optional<UpdateManifest> previous;       // the manifest published before, when given as a file
    std::uint64_t now = 0;                        // seconds since 1970, UTC
    bool testMode = false;                        // a test-channel manifest, as test runs read it
};

std::vector<Finding> CheckManifest(const ManifestInput& input, const CheckOptions& options);

const char* SeverityName(Severity severity);
