#include "signing_check.h"

#include <algorithm>

#include "shared/decimal.h"
#include "shared/facts.h"
#include "signing/manifest_signature.h"
#include "signing/manifest_trust.h"
#include "update_check/manifest_location.h"

namespace {

// The example a publisher is given of a manifest path.
std::string ExamplePath() { return CompanyManifestPath("C"); }

void CheckSignature(CheckContext& check)
{
    const std::string& bytes = check.input.bytes;
    bool hasLine = SplitSignature(bytes).has_value();
    if (!check.keyed()) {
        check.Add(Severity::Note, "", "signature",
                  hasLine ? "is present; give --key PUBLIC.pem to verify it"
                          : "is missing: only modules built without a key use the manifest");
        return;
    }
    if (!hasLine) {
        check.Add(Severity::Error, "", "signature", "is missing: a module built with the key refuses the manifest");
        return;
    }
    const std::vector<framework::EcPoint>& keys = check.options.keys;
    bool holds = std::any_of(keys.begin(), keys.end(),
                             [&](const framework::EcPoint& key) { return ManifestSignatureHolds(bytes, key); });
    if (!holds)
        check.Add(Severity::Error, "", "signature",
                  "does not verify with the given key: the manifest changed after signing, or another key signed it");
}

// The module reads the first of two; another reader may take the second.
void CheckDuplicates(CheckContext& check)
{
    for (const std::string& name : check.manifest.duplicates) {
        size_t close = name.find(']');
        std::string section = name.substr(1, close - 1);
        std::string key = close + 2 <= name.size() ? name.substr(close + 2) : "";
        std::string what =
            key.empty() ? "the section is given twice: the module reads only the first, and no key of the second"
                        : "is given twice: the module reads only the first, \"" + check.Text(section, key.c_str()) + "\"";
        if (check.keyed())
            check.Add(Severity::Error, section, key, what + ": a module built with the key refuses the manifest");
        else
            check.Add(Severity::Warning, section, key, what + "; a module built with a key refuses the manifest");
    }
}

// Which runs fetch the manifest path.
std::string ChannelUse(const ChannelRequest& request)
{
    switch (request.run) {
    case ChannelRun::Test: return ", the test manifest (test mode without URL)";
    case ChannelRun::Company: return ", the manifest of the company \"" + request.company + "\"";
    default: return ", which only runs with the URL switch fetch";
    }
}

void CheckChannel(CheckContext& check)
{
    const std::string& channel = check.manifest.channel;
    if (channel.empty()) {
        if (check.keyed())
            check.Add(Severity::Error, "Full", "Channel",
                      "is missing: a module built with the key refuses the manifest (give the manifest's path, "
                      "such as " + ExamplePath() + ")");
        return;
    }
    if (channel[0] != '/' || channel.find_first_of(" \t") != std::string::npos) {
        check.Add(Severity::Error, "Full", "Channel",
                  "\"" + channel + "\" is not a manifest path such as " + ExamplePath() +
                      ": keyed modules refuse the manifest");
        return;
    }
    ChannelRequest request = WhichRunsRequest(channel);
    if (request.run == ChannelRun::None) {
        check.Add(check.keyed() ? Severity::Warning : Severity::Note, "Full", "Channel",
                  "\"" + channel + "\" is a path that no run asks for: servers and clients drop empty and . "
                  "segments, resolve .. and take no backslash, so keyed modules refuse the manifest wherever it "
                  "is served (give the path as its URL has it, such as " + ExamplePath() + ")");
        return;
    }
    check.Add(Severity::Note, "Full", "Channel",
              "keyed modules take the manifest only from " + channel + ChannelUse(request));
}

void CheckExpires(CheckContext& check)
{
    const std::string& text = check.manifest.expires;
    if (text.empty()) {
        if (check.keyed())
            check.Add(Severity::Error, "Full", "Expires", "is missing: a module built with the key refuses the manifest");
        return;
    }
    std::optional<std::uint64_t> expires = ParseUtcTime(text);
    if (!expires)
        check.Add(Severity::Error, "Full", "Expires",
                  "\"" + text + "\" is no UTC time such as 2027-03-01T00:00:00Z: keyed modules refuse the manifest");
    else if (*expires <= check.options.now)
        check.Add(Severity::Error, "Full", "Expires", "has passed: keyed modules refuse the manifest");
}

void CheckSerial(CheckContext& check)
{
    const std::string& text = check.manifest.serial;
    std::optional<std::uint64_t> serial = text.empty() ? std::optional<std::uint64_t>(0) : ParseDecimal(text);
    if (!serial) {
        check.Add(Severity::Error, "Full", "Serial", "\"" + text + "\" is not a number: keyed modules refuse the manifest");
        return;
    }
    if (text.empty() && check.keyed())
        check.Add(Severity::Error, "Full", "Serial", "is missing: a module built with the key refuses the manifest");
    const std::optional<std::uint64_t>& previous = check.options.previousSerial;
    if (previous && *serial <= *previous)
        check.Add(Severity::Error, "Full", "Serial",
                  "is " + std::to_string(*serial) + ", not above the previous manifest's " + std::to_string(*previous) +
                      (*serial < *previous ? ": installations that accepted that one refuse this one"
                                           : ": raise it with every manifest"));
}

}  // namespace

void CheckSigning(CheckContext& check)
{
    CheckSignature(check);
    CheckDuplicates(check);
    CheckChannel(check);
    CheckExpires(check);
    CheckSerial(check);
}
