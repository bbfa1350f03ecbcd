// A manifest file as the tool takes it: its full path and its bytes, or a
// clear refusal (a ToolError) of a file that cannot be a manifest or that is
// beyond what the tool examines in well under a second.
#pragma once

#include <string>

struct ManifestInput {
    std::string path;   // full path, as the private-profile functions need it
    std::string bytes;  // the whole file
    bool utf16 = false; // a UTF-16 file with its byte-order mark
};

ManifestInput LoadManifest(const std::string& argument);
