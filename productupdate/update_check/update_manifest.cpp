#include "update_manifest.h"

#include <algorithm>
#include <initializer_list>
#include <set>

#include "framework/path.h"
#include "framework/win.h"
#include "shared/facts.h"

namespace {

class ManifestFile {
public:
    explicit ManifestFile(std::string path) : path_(std::move(path)) {}

    std::string Text(const char* section, const char* key, const char* fallback) const
    {
        return framework::ReadProfileString(section, key, fallback, path_);
    }
    int Int(const char* section, const char* key, int fallback) const
    {
        return static_cast<int>(GetPrivateProfileIntA(section, key, fallback, path_.c_str()));
    }
    int Count(const char* section, const char* key) const { return std::max(0, Int(section, key, 0)); }

    // The indexes of prefix%d names below count that exist, in order.
    std::set<int> Indexes(const std::vector<std::string>& names, const char* prefix, int count) const
    {
        std::set<int> indexes;
        for (const std::string& name : names) {
            if (std::optional<int> index = ReadIndex(name, prefix, count))
                indexes.insert(*index);
        }
        return indexes;
    }
    std::vector<std::string> Sections() const { return framework::ReadProfileSectionNames(path_); }
    std::vector<std::string> Keys(const std::string& section) const
    {
        return framework::ReadProfileKeyNames(section, path_);
    }

    // The non-empty File%d entries of a section below its FileCount.
    std::vector<ListEntry> Entries(const std::string& section) const
    {
        std::vector<ListEntry> entries;
        int count = Count(section.c_str(), "FileCount");
        if (count == 0)
            return entries;
        for (int index : Indexes(Keys(section), "File", count)) {
            std::string key = "File" + std::to_string(index);
            std::string url = Text(section.c_str(), key.c_str(), "");
            if (!url.empty())
                entries.push_back({index, url});
        }
        return entries;
    }
    std::vector<std::string> Files(const std::string& section) const
    {
        std::vector<std::string> files;
        for (ListEntry& entry : Entries(section))
            files.push_back(std::move(entry.url));
        return files;
    }

private:
    std::string path_;
};

// The names given more than once, compared as the private-profile functions
// compare them (without regard to case), each once, in file order.
std::vector<std::string> Repeated(const std::vector<std::string>& names)
{
    std::vector<std::string> repeated;
    for (size_t i = 0; i < names.size(); ++i) {
        auto same = [&](const std::string& other) { return _stricmp(other.c_str(), names[i].c_str()) == 0; };
        bool earlier = std::any_of(names.begin(), names.begin() + static_cast<long>(i), same);
        if (!earlier && std::count_if(names.begin(), names.end(), same) > 1)
            repeated.push_back(names[i]);
    }
    return repeated;
}

bool IsOneOf(const std::string& name, std::initializer_list<const char*> names)
{
    return std::any_of(names.begin(), names.end(),
                       [&](const char* n) { return _stricmp(name.c_str(), n) == 0; });
}

std::vector<std::string> Duplicates(const ManifestFile& file, const UpdateManifest& manifest)
{
    std::vector<std::string> duplicates;
    std::vector<std::string> lists{"Full"};
    for (const ManifestPacket& packet : manifest.packets)
        lists.push_back("Packet" + std::to_string(packet.section));
    for (const std::string& section : Repeated(file.Sections())) {
        if (std::any_of(lists.begin(), lists.end(),
                        [&](const std::string& list) { return _stricmp(list.c_str(), section.c_str()) == 0; }))
            duplicates.push_back("[" + section + "]");
    }
    for (const std::string& list : lists) {
        bool full = list == "Full";
        for (const std::string& key : Repeated(file.Keys(list))) {
            if (IsOneOf(key, {"sha256", "size"}) || (full && IsOneOf(key, {"Expires", "Serial", "Channel"})))
                duplicates.push_back("[" + list + "] " + key);
        }
    }
    return duplicates;
}

}  // namespace

UpdateManifest ReadUpdateManifest(const std::string& path)
{
    ManifestFile file(path);
    UpdateManifest manifest;
    manifest.info = file.Text("Full", "Info", "");
    manifest.version = file.Text("FULL", "Ver", "0.0.0.0");
    int packetCount = file.Count("Full", "PacketCount");
    if (packetCount > 0) {
        for (int index : file.Indexes(file.Sections(), "Packet", packetCount)) {
            std::string section = "Packet" + std::to_string(index);
            ManifestPacket packet;
            packet.section = index;
            packet.min = file.Text(section.c_str(), "min", "0.0.0.0");
            packet.max = file.Text(section.c_str(), "max", "0.0.0.0");
            packet.force = file.Int(section.c_str(), "force", 0);
            packet.silent = file.Int(section.c_str(), "silent", 0);
            packet.files = file.Files(section);
            packet.pin = ReadPackagePin(file.Text(section.c_str(), "sha256", ""),
                                        file.Text(section.c_str(), "size", ""));
            manifest.packets.push_back(std::move(packet));
        }
    }
    manifest.files = file.Files("Full");
    manifest.pin = ReadPackagePin(file.Text("Full", "sha256", ""), file.Text("Full", "size", ""));
    manifest.expires = file.Text("Full", "Expires", "");
    manifest.serial = file.Text("Full", "Serial", "");
    for (const std::string& key : file.Keys("Full"))
        if (_stricmp(key.c_str(), "Rollout") == 0)
            manifest.rollout = file.Text("Full", "Rollout", "");
    manifest.withdrawn = file.Text("Full", "Withdrawn", "");
    manifest.channel = file.Text("Full", "Channel", "");
    manifest.duplicates = Duplicates(file, manifest);
    return manifest;
}

std::vector<ListEntry> ReadListEntries(const std::string& path, const std::string& section)
{
    return ManifestFile(path).Entries(section);
}
