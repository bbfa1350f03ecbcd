#include "update_decision.h"

#include "version_compare.h"

bool PacketApplies(const ManifestPacket& packet, const std::string& installed)
{
    return !CompareVersions(installed.c_str(), packet.min.c_str()) &&
           CompareVersions(installed.c_str(), packet.max.c_str());
}

UpdateDecision DecideUpdate(const UpdateManifest& manifest, const std::string& installedVersion,
                            const std::optional<std::string>& registryVersion, bool testMode)
{
    UpdateDecision decision;
    const std::string& base = registryVersion ? *registryVersion : installedVersion;
    if (!CompareVersions(base.c_str(), manifest.version.c_str()) && !testMode)
        return decision;
    decision.newer = true;

    for (const ManifestPacket& packet : manifest.packets) {
        if (PacketApplies(packet, installedVersion)) {
            decision.packet = &packet;
            decision.urls = packet.files;
            decision.pin = packet.pin;
            break;
        }
    }
    if (decision.urls.empty() && !testMode) {
        decision.urls = manifest.files;
        decision.pin = manifest.pin;
    }
    return decision;
}
