// What every family of checks reads and adds to: the file as it is, the
// manifest as the module reads it, what each installed version gets, and
// the findings so far, in the order they were found.
#pragma once

#include <string>
#include <vector>

#include "manifest_check.h"
#include "offers.h"

struct CheckContext {
    CheckContext(const ManifestInput& input, const CheckOptions& options);

    bool keyed() const { return !options.keys.empty(); }
    bool testMode() const { return options.testMode; }
    void Add(Severity severity, const std::string& section, const std::string& key, std::string message);

    // The file's keys and texts, read as the private-profile functions read them.
    std::vector<std::string> Keys(const std::string& section) const;
    bool HasKey(const std::string& section, const char* key) const;
    std::string Text(const std::string& section, const char* key) const;
    int Count(const std::string& section, const char* key) const;

    const ManifestInput& input;
    const CheckOptions& options;
    const UpdateManifest manifest;
    const std::vector<CoverageRow> rows;  // what every installed version gets
    std::vector<Finding> findings;
};

// Names compared as the private-profile functions compare them.
bool SameName(const std::string& a, const std::string& b);
bool StartsWith(const std::string& text, const char* prefix);

// "[Packet0]".
std::string Quoted(const std::string& section);
// A version text as given, and what an empty one reads as.
std::string Given(const std::string& version);
// "2.3.0.0 up to 2.4.0.3" of a packet's min and max.
std::string Range(const ManifestPacket& packet);
// The start of "is never read: ..." for a name with a leading zero; empty otherwise.
std::string LeadingZero(const std::string& name, const char* prefix);
// What the module reads of prefix%d names for a count given as text.
std::string ReadRange(const char* prefix, int count, const char* key, const std::string& text);
