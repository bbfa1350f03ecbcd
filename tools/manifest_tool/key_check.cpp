#include "key_check.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include "framework/path.h"
#include "shared/facts.h"

namespace {

const char* const kFullKeys[] = {"Info",   "Ver",   "PacketCount", "FileCount", "sha256",  "size",
                                 "Expires", "Serial", "Rollout",    "Withdrawn", "Channel"};
const char* const kPacketKeys[] = {"min", "max", "force", "silent", "FileCount", "sha256", "size"};
// The keys the module reads as numbers (GetPrivateProfileInt).
const char* const kNumberKeys[] = {"PacketCount", "FileCount", "force", "silent"};

bool SameName(const std::string& a, const std::string& b) { return _stricmp(a.c_str(), b.c_str()) == 0; }

bool Named(const std::vector<std::string>& names, const std::string& name)
{
    return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return SameName(n, name); });
}

// Edits (insert, delete, replace) between two names, without regard to case.
size_t Distance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// Digits, with a minus for force and silent, of a value an int holds.
bool PlainDecimal(const std::string& text)
{
    size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.size() == digits || text.size() - digits > 10 ||
        text.find_first_not_of("0123456789", digits) != std::string::npos)
        return false;
    long long value = std::stoll(text);
    return value >= INT_MIN && value <= INT_MAX;
}

class KeyChecker {
public:
    KeyChecker(const std::string& path, std::vector<Finding>& findings) : path_(path), findings_(findings) {}

    void Section(const std::string& section, const std::vector<std::string>& known,
                 const std::vector<std::string>& judgedElsewhere)
    {
        std::vector<std::string> keys = framework::ReadProfileKeyNames(section, path_);
        for (size_t i = 0; i < keys.size(); ++i) {
            const std::string& key = keys[i];
            bool earlier = std::any_of(keys.begin(), keys.begin() + static_cast<long>(i),
                                       [&](const std::string& k) { return SameName(k, key); });
            if (earlier)
                continue;
            bool repeated = std::count_if(keys.begin(), keys.end(), [&](const std::string& k) { return SameName(k, key); }) > 1;
            if (repeated && !Named(judgedElsewhere, key))
                Add(Severity::Warning, section, key,
                    "is given twice: the module reads only the first, \"" + Value(section, key) + "\"");
            if (IsIndexedName(key, "File"))
                continue;  // the list checks judge it
            if (Named(known, key))
                Number(section, key);
            else
                Unknown(section, key, known, keys);
        }
    }

private:
    std::string Value(const std::string& section, const std::string& key) const
    {
        return framework::ReadProfileString(section.c_str(), key.c_str(), "", path_);
    }

    void Add(Severity severity, const std::string& section, const std::string& key, std::string message)
    {
        findings_.push_back({severity, section, key, std::move(message)});
    }

    void Number(const std::string& section, const std::string& key)
    {
        if (std::none_of(std::begin(kNumberKeys), std::end(kNumberKeys), [&](const char* k) { return SameName(k, key); }))
            return;
        std::string text = Value(section, key);
        if (PlainDecimal(text))
            return;
        int read = static_cast<int>(GetPrivateProfileIntA(section.c_str(), key.c_str(), 0, path_.c_str()));
        Add(Severity::Warning, section, key,
            "\"" + text + "\" is no plain decimal number: the module reads it as " + std::to_string(read) +
                (read < 0 && (SameName(key, "PacketCount") || SameName(key, "FileCount")) ? ", which counts as 0" : ""));
    }

    void Unknown(const std::string& section, const std::string& key, const std::vector<std::string>& known,
                 const std::vector<std::string>& given)
    {
        std::string nearest;
        size_t best = SIZE_MAX;
        for (const std::string& k : known) {
            size_t d = Distance(key, k);
            if (d < best)
                best = d, nearest = k;
        }
        size_t allowed = nearest.size() <= 4 ? 1 : 2;
        if (best <= allowed || (key.size() > nearest.size() && _strnicmp(key.c_str(), nearest.c_str(), nearest.size()) == 0))
            Add(Severity::Warning, section, key,
                "is no key the module reads: is it " + nearest + "? The module reads " + nearest + " as " +
                    (Named(given, nearest) ? "\"" + Value(section, nearest) + "\"" : std::string("missing")));
        else
            Add(Severity::Note, section, key, "is not a key the module reads");
    }

    const std::string& path_;
    std::vector<Finding>& findings_;
};

}  // namespace

bool HasLeadingZero(const std::string& name, const char* prefix)
{
    size_t length = strlen(prefix);
    return name.size() > length + 1 && _strnicmp(name.c_str(), prefix, length) == 0 && name[length] == '0' &&
           name.find_first_not_of("0123456789", length) == std::string::npos;
}

void CheckKeys(const std::string& path, const UpdateManifest& manifest, std::vector<Finding>& findings)
{
    KeyChecker checker(path, findings);
    // Keys that bear on trust given twice are judged with the signature.
    std::vector<std::string> fullTrust{"Expires", "Serial", "Channel", "sha256", "size"};
    checker.Section("Full", {std::begin(kFullKeys), std::end(kFullKeys)}, fullTrust);
    for (const ManifestPacket& packet : manifest.packets)
        checker.Section("Packet" + std::to_string(packet.section), {std::begin(kPacketKeys), std::end(kPacketKeys)},
                        {"sha256", "size"});
}
