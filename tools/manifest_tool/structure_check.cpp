#include "structure_check.h"

#include <algorithm>

#include "framework/path.h"

namespace {

bool IsReadPacket(const CheckContext& check, const std::string& section)
{
    const std::vector<ManifestPacket>& packets = check.manifest.packets;
    return std::any_of(packets.begin(), packets.end(), [&](const ManifestPacket& p) {
        return SameName(section, "Packet" + std::to_string(p.section));
    });
}

void CheckPacketCount(CheckContext& check)
{
    long long declared = std::max(0, check.Count("Full", "PacketCount"));
    long long missing = declared - static_cast<long long>(check.manifest.packets.size());
    if (missing > 0)
        check.Add(Severity::Warning, "Full", "PacketCount",
                  "is " + std::to_string(declared) + " but " + std::to_string(missing) +
                      " of those sections are missing (they are skipped)");
}

}  // namespace

bool CheckStructure(CheckContext& check)
{
    std::vector<std::string> sections = framework::ReadProfileSectionNames(check.input.path);
    if (check.input.utf16)
        check.Add(Severity::Note, "", "", "the file is UTF-16: the module reads it, but older tools may not");
    if (check.input.controlByte)
        check.Add(Severity::Warning, "", "", ControlByteWarning(check.input));
    if (std::none_of(sections.begin(), sections.end(), [](const std::string& s) { return SameName(s, "Full"); })) {
        check.Add(Severity::Error, "Full", "", "there is no [Full] section: no installation is offered anything");
        return false;
    }
    for (const std::string& section : sections) {
        if (SameName(section, "Full") || IsReadPacket(check, section))
            continue;
        if (StartsWith(section, "Packet"))
            check.Add(Severity::Error, section, "",
                      "is never read: " + LeadingZero(section, "Packet") +
                          ReadRange("Packet", check.Count("Full", "PacketCount"), "PacketCount",
                                    check.Text("Full", "PacketCount")));
        else
            check.Add(Severity::Note, section, "", "is not a section the module reads");
    }
    CheckPacketCount(check);
    return true;
}
