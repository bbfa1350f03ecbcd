// The tool's command line: a verb, its files and its options.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct CommandLine {
    std::string verb;                // check, explain, coverage, diff or fields
    std::vector<std::string> files;  // the manifests
    bool json = false;
    bool strict = false;
    bool testMode = false;
    std::optional<std::string> installed;
    std::optional<std::string> recorded;
    int recordedSilent = 0;
    std::optional<int> recordedHasUpdate;  // HasUpdate of the record; none: 1
    std::optional<std::string> draw;  // the installation's RolloutDraw
    std::vector<std::string> keyFiles;
    std::optional<std::string> previous;  // a Serial, or the manifest published before
    std::optional<std::string> channel;   // explain: the manifest path the installation fetches
};

// Throws ToolError, with the usage, for a command line that makes no sense.
// arguments: argv, argv[0] included, in UTF-8.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

extern const char kUsage[];
