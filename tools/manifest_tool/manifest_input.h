// A manifest file as the tool takes it: its full path and its bytes, or a
// clear refusal (a ToolError) of a file that cannot be a manifest or that is
// beyond what the tool examines in well under a second.
#pragma once

#include <optional>
#include <string>

struct ManifestInput {
    // The full path as the private-profile functions need it: ANSI, or a
    // copy's where the code page cannot hold the name.
    std::string path;
    std::string bytes;  // the whole file
    bool utf16 = false; // a UTF-16 file with its byte-order mark
    // The first control byte other than tab and line ends, which the module
    // reads past: the tool explains such a file too, with a warning.
    std::optional<size_t> controlByte;
};

// argument: the path as given, in UTF-8.
ManifestInput LoadManifest(const std::string& argument);

// "holds the control byte 0x1A at byte 120: ..." for a file that has one.
std::string ControlByteWarning(const ManifestInput& input);
