#include "pin_check.h"

#include <map>

namespace {

bool SamePin(const PackagePin& a, const PackagePin& b)
{
    return a.readable == b.readable && a.digest == b.digest && a.size == b.size;
}

}  // namespace

void CheckPin(CheckContext& check, const std::string& section)
{
    std::string sha256 = check.Text(section, "sha256"), size = check.Text(section, "size");
    PackagePin pin = ReadPackagePin(sha256, size);
    if (!sha256.empty() && !ReadPackagePin(sha256, "").readable)
        check.Add(Severity::Error, section, "sha256",
                  "is not 64 hex digits: every module since pinning, keyed or not, refuses the package "
                  "(older ones fetch it unchecked)");
    if (!size.empty() && !ReadPackagePin("", size).readable)
        check.Add(Severity::Error, section, "size",
                  "is not a number of bytes: every module since pinning, keyed or not, refuses the package "
                  "(older ones fetch it unchecked)");
    if (pin.readable && !pin.complete()) {
        const char* key = pin.digest ? "size" : "sha256";
        if (check.keyed())
            check.Add(Severity::Error, section, key, "is missing: a module built with the key refuses the package");
        else
            check.Add(Severity::Note, section, key, "is missing: only modules built without a key fetch the package");
    }
}

void CheckSharedPins(CheckContext& check)
{
    std::map<std::string, std::pair<std::string, PackagePin>> firstListOf;  // by URL
    auto visit = [&](const std::string& section, const std::vector<std::string>& urls, const PackagePin& pin) {
        for (const std::string& url : urls) {
            auto [it, fresh] = firstListOf.emplace(url, std::make_pair(section, pin));
            if (!fresh && !SamePin(it->second.second, pin))
                check.Add(Severity::Error, section, "sha256",
                          "pins " + url + " unlike [" + it->second.first + "] does: one of them is refused");
        }
    };
    for (const ManifestPacket& packet : check.manifest.packets)
        visit("Packet" + std::to_string(packet.section), packet.files, packet.pin);
    visit("Full", check.manifest.files, check.manifest.pin);
}
