#include "fields.h"

#include <vector>

#include "json.h"
#include "update_check/update_manifest.h"

namespace {

struct ListField {
    std::string section;
    ListEntry entry;
};

std::vector<ListField> ListFields(const ManifestInput& input, const UpdateManifest& manifest)
{
    std::vector<std::string> sections{"Full"};
    for (const ManifestPacket& packet : manifest.packets)
        sections.push_back("Packet" + std::to_string(packet.section));
    std::vector<ListField> fields;
    for (const std::string& section : sections)
        for (ListEntry& entry : ReadListEntries(input.path, section))
            fields.push_back({section, std::move(entry)});
    return fields;
}

}  // namespace

std::string FieldsText(const ManifestInput& input)
{
    UpdateManifest manifest = ReadUpdateManifest(input.path);
    std::string text;
    for (const ListField& field : ListFields(input, manifest))
        text += "file\t" + field.section + "\t" + std::to_string(field.entry.index) + "\t" + field.entry.url + "\n";
    if (!manifest.serial.empty())
        text += "serial\tFull\t" + manifest.serial + "\n";
    return text;
}

std::string FieldsJson(const ManifestInput& input)
{
    UpdateManifest manifest = ReadUpdateManifest(input.path);
    std::vector<std::string> files;
    for (const ListField& field : ListFields(input, manifest))
        files.push_back(JsonObject()
                            .Text("section", field.section)
                            .Number("index", field.entry.index)
                            .Text("url", field.entry.url)
                            .str());
    JsonObject json;
    json.Raw("files", JsonArray(files));
    if (!manifest.serial.empty())
        json.Text("serial", manifest.serial);
    return json.str() + "\n";
}
