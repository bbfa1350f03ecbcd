#include "check_context.h"

#include <algorithm>

#include "framework/path.h"
#include "key_check.h"

CheckContext::CheckContext(const ManifestInput& input, const CheckOptions& options)
    : input(input), options(options), manifest(ReadUpdateManifest(input.path)),
      rows(Coverage(Boundaries(manifest), manifest, options.testMode, !options.keys.empty()))
{
}

void CheckContext::Add(Severity severity, const std::string& section, const std::string& key,
                       std::string message)
{
    findings.push_back({severity, section, key, std::move(message)});
}

std::vector<std::string> CheckContext::Keys(const std::string& section) const
{
    return framework::ReadProfileKeyNames(section, input.path);
}

bool CheckContext::HasKey(const std::string& section, const char* key) const
{
    std::vector<std::string> keys = Keys(section);
    return std::any_of(keys.begin(), keys.end(), [&](const std::string& k) { return SameName(k, key); });
}

std::string CheckContext::Text(const std::string& section, const char* key) const
{
    return framework::ReadProfileString(section.c_str(), key, "", input.path);
}

int CheckContext::Count(const std::string& section, const char* key) const
{
    return static_cast<int>(GetPrivateProfileIntA(section.c_str(), key, 0, input.path.c_str()));
}

bool SameName(const std::string& a, const std::string& b) { return _stricmp(a.c_str(), b.c_str()) == 0; }

bool StartsWith(const std::string& text, const char* prefix)
{
    return _strnicmp(text.c_str(), prefix, strlen(prefix)) == 0;
}

std::string Quoted(const std::string& section) { return "[" + section + "]"; }

std::string Given(const std::string& version) { return version.empty() ? "(empty: 0.0.0.0)" : version; }

std::string Range(const ManifestPacket& packet) { return Given(packet.min) + " up to " + Given(packet.max); }

std::string LeadingZero(const std::string& name, const char* prefix)
{
    return HasLeadingZero(name, prefix)
               ? std::string("the module looks ") + prefix + " names up without leading zeros (" + prefix +
                     std::to_string(std::stoll(name.substr(strlen(prefix)))) + ", not " + name + "); "
               : "";
}

std::string ReadRange(const char* prefix, int count, const char* key, const std::string& text)
{
    std::string given = std::string(" (") + key + " " + (text.empty() ? "missing" : text) + ")";
    if (count <= 0)
        return std::string("the module reads no ") + prefix + " entry" + given;
    return std::string("the module reads ") + prefix + "0 up to " + prefix + std::to_string(count - 1) + given;
}
