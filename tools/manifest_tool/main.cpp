// manifest-tool: what every installation gets from an update manifest,
// before it is published, decided by the module's own code.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "command_line.h"
#include "framework/failure.h"
#include "explain.h"
#include "fields.h"
#include "json.h"
#include "manifest_check.h"
#include "manifest_input.h"
#include "report.h"
#include "signing/manifest_signature.h"
#include "signing/manifest_trust.h"
#include "shared/decimal.h"
#include "entry/test_version.h"
#include "update_check/rollout.h"
#include "tool_error.h"
#include "wide_paths.h"

namespace {

std::vector<framework::EcPoint> LoadKeys(const std::vector<std::string>& files)
{
    std::vector<framework::EcPoint> keys;
    for (const std::string& file : files) {
        DWORD attributes = GetFileAttributesW(Wide(file).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            throw ToolError(file + ": the key file cannot be read (no such file)");
        std::ifstream in(AnsiPathOf(file), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        if (!in)
            throw ToolError(file + ": the key file cannot be read");
        std::optional<framework::EcPoint> key = PublicKeyFromPem(text.str());
        if (!key)
            throw ToolError(file + ": not a P-256 public key in PEM form (openssl ec -pubout)");
        keys.push_back(*key);
    }
    return keys;
}

int Check(const CommandLine& line, const std::vector<framework::EcPoint>& keys, std::string& out)
{
    ManifestInput input = LoadManifest(line.files[0]);
    CheckOptions options;
    options.keys = keys;
    options.now = NowSeconds();
    options.testMode = line.testMode;
    if (line.previous) {
        if (std::optional<std::uint64_t> serial = ParseDecimal(*line.previous)) {
            options.previousSerial = serial;
        } else {
            if (GetFileAttributesW(Wide(*line.previous).c_str()) == INVALID_FILE_ATTRIBUTES)
                throw ToolError("--previous '" + *line.previous +
                                "' is neither a Serial (a number) nor a manifest file that exists");
            ManifestInput old = LoadManifest(*line.previous);
            options.previous = ReadUpdateManifest(old.path);
            options.previousSerial =
                options.previous->serial.empty() ? 0 : ParseDecimal(options.previous->serial).value_or(0);
        }
    }
    std::vector<Finding> findings = CheckManifest(input, options);
    out = line.json ? CheckJson(line.files[0], findings) : CheckText(line.files[0], findings);
    for (const Finding& finding : findings) {
        if (finding.severity == Severity::Error || (line.strict && finding.severity == Severity::Warning))
            return 1;
    }
    return 0;
}

// Digits and dots, starting with a digit: what VLNR.INI, VLNRTEST.VLT or a
// record can hold. Anything else is a typo, not a version the module reads.
std::string VersionArgument(const char* option, const std::string& text)
{
    if (text.empty() || !isdigit(static_cast<unsigned char>(text[0])) ||
        text.find_first_not_of("0123456789.") != std::string::npos)
        throw ToolError(std::string(option) + " '" + text + "' is no version: give numbers and dots, such as 2.3.0.17");
    return text;
}

// In test mode the installed version is the Version of VLNRTEST.VLT, which
// the module turns into a dotted one ("1000" is 1.0.0.0).
std::string InstalledVersion(const CommandLine& line)
{
    std::string version = VersionArgument("--installed", *line.installed);
    if (line.testMode)
        DotTestVersion(version);
    return version;
}

int ExplainVerb(const CommandLine& line, const std::vector<framework::EcPoint>& keys, std::string& out)
{
    Installation installation;
    installation.installed = InstalledVersion(line);
    if (line.recorded)
        VersionArgument("--recorded", *line.recorded);
    installation.recorded = line.recorded;
    installation.recordedSilent = line.recordedSilent;
    installation.recordedHasUpdate = line.recordedHasUpdate.value_or(1);
    installation.testMode = line.testMode;
    installation.keys = keys;
    installation.channel = line.channel;
    if (line.draw) {
        installation.draw = ParseDraw(*line.draw);
        if (!installation.draw)
            throw ToolError("--draw takes the installation's RolloutDraw, 16 hex digits such as 0123456789abcdef");
    }
    if (line.previous) {
        installation.acceptedSerial = ParseDecimal(*line.previous);
        if (!installation.acceptedSerial)
            throw ToolError("explain takes --previous SERIAL, the highest Serial the installation accepted");
    }
    Explanation explanation = Explain(LoadManifest(line.files[0]), installation);
    out = line.json ? ExplainJson(explanation, installation) : ExplainText(explanation, installation);
    return 0;
}

int CoverageVerb(const CommandLine& line, const std::vector<framework::EcPoint>& keys, std::string& out)
{
    ManifestInput input = LoadManifest(line.files[0]);
    UpdateManifest manifest = ReadUpdateManifest(input.path);
    std::vector<CoverageRow> rows =
        Coverage(Boundaries(manifest), manifest, line.testMode, !keys.empty(), KeyedRefusal(input, keys));
    out = line.json ? CoverageJson(rows, line.testMode) : CoverageText(rows, line.testMode);
    return 0;
}

int DiffVerb(const CommandLine& line, const std::vector<framework::EcPoint>& keys, std::string& out)
{
    ManifestInput oldInput = LoadManifest(line.files[0]), freshInput = LoadManifest(line.files[1]);
    UpdateManifest old = ReadUpdateManifest(oldInput.path);
    UpdateManifest fresh = ReadUpdateManifest(freshInput.path);
    std::vector<VersionFields> bounds = Boundaries(old, fresh);
    bool keyed = !keys.empty();
    std::vector<CoverageRow> before = Coverage(bounds, old, line.testMode, keyed, KeyedRefusal(oldInput, keys));
    std::vector<CoverageRow> after = Coverage(bounds, fresh, line.testMode, keyed, KeyedRefusal(freshInput, keys));
    out = line.json ? DiffJson(old, fresh, before, after, line.testMode)
                    : DiffText(old, fresh, before, after, line.testMode);
    return 0;
}

int FieldsVerb(const CommandLine& line, std::string& out)
{
    ManifestInput input = LoadManifest(line.files[0]);
    out = line.json ? FieldsJson(input) : FieldsText(input);
    return 0;
}

int Run(const std::vector<std::string>& arguments, std::string& out)
{
    CommandLine line = ParseCommandLine(arguments);
    std::vector<framework::EcPoint> keys = LoadKeys(line.keyFiles);
    if (line.verb == "check")
        return Check(line, keys, out);
    if (line.verb == "explain")
        return ExplainVerb(line, keys, out);
    if (line.verb == "coverage")
        return CoverageVerb(line, keys, out);
    if (line.verb == "fields")
        return FieldsVerb(line, out);
    return DiffVerb(line, keys, out);
}

}  // namespace

int main()
{
    // Plain line ends, also when Wine hands the output to a Linux pipe.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::string message;
    std::vector<std::string> arguments;
    try {
        arguments = Utf8Arguments();
        std::string out;
        int code = Run(arguments, out);
        std::fwrite(out.data(), 1, out.size(), stdout);
        return code;
    } catch (const framework::Failure&) {
        message = "a system service failed (SHA-256, or memory)";
    } catch (const std::exception& error) {
        message = error.what();
    }
    std::fprintf(stderr, "manifest-tool: %s\n", message.c_str());
    // A pipeline that asked for JSON gets JSON, also when there is no answer.
    if (std::find(arguments.begin(), arguments.end(), "--json") != arguments.end()) {
        std::string json = JsonObject().Raw("error", JsonUtf8(message)).str() + "\n";
        std::fwrite(json.data(), 1, json.size(), stdout);
    }
    return 2;
}
