#include "command_line.h"

#include <cstring>

#include "tool_error.h"

const char kUsage[] =
    "usage: manifest-tool check MANIFEST [--test] [--strict] [--key PUBLIC.pem]... [--previous SERIAL|OLD.ini]\n"
    "       manifest-tool explain MANIFEST --installed V [--test] [--key PUBLIC.pem]...\n"
    "                     [--recorded V [--recorded-silent N] [--has-update N]]\n"
    "                     [--previous SERIAL] [--channel PATH] [--draw RolloutDraw]\n"
    "       manifest-tool coverage MANIFEST [--test] [--key PUBLIC.pem]...\n"
    "       manifest-tool diff OLD NEW [--test] [--key PUBLIC.pem]...\n"
    "       manifest-tool fields MANIFEST\n"
    "Every verb takes --json. check exits 1 on errors (and on warnings with --strict);\n"
    "any verb exits 2 when it cannot read its input.\n";

namespace {

[[noreturn]] void Refuse(const std::string& message) { throw ToolError(message + "\n" + kUsage); }

size_t FilesOf(const std::string& verb)
{
    if (verb == "diff")
        return 2;
    if (verb == "check" || verb == "explain" || verb == "coverage" || verb == "fields")
        return 1;
    Refuse(verb.empty() ? "no verb given" : "unknown verb \"" + verb + "\"");
}

int RecordNumber(const std::string& option, const std::string& text)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 9)
        Refuse(option + " takes a number, as the record's DWORD holds it");
    return std::stoi(text);
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& argv)
{
    int argc = static_cast<int>(argv.size());
    CommandLine line;
    line.verb = argc > 1 ? argv[1] : "";
    size_t files = FilesOf(line.verb);
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                Refuse(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--json")
            line.json = true;
        else if (arg == "--strict" && line.verb == "check")
            line.strict = true;
        else if (arg == "--test")
            line.testMode = true;
        else if (arg == "--installed" && line.verb == "explain")
            line.installed = value();
        else if (arg == "--recorded" && line.verb == "explain")
            line.recorded = value();
        else if (arg == "--recorded-silent" && line.verb == "explain")
            line.recordedSilent = RecordNumber(arg, value());
        else if (arg == "--has-update" && line.verb == "explain")
            line.recordedHasUpdate = RecordNumber(arg, value());
        else if (arg == "--draw" && line.verb == "explain")
            line.draw = value();
        else if (arg == "--key")
            line.keyFiles.push_back(value());
        else if (arg == "--channel" && line.verb == "explain")
            line.channel = value();
        else if (arg == "--previous" && (line.verb == "check" || line.verb == "explain"))
            line.previous = value();
        else if (arg.rfind("--", 0) == 0)
            Refuse("\"" + arg + "\" is no option of " + line.verb);
        else
            line.files.push_back(arg);
    }
    if (line.files.size() != files)
        Refuse(line.verb + " takes " + (files == 1 ? "one manifest" : "two manifests"));
    if (line.verb == "explain" && !line.installed)
        Refuse("explain needs --installed VERSION");
    if (!line.recorded && (line.recordedSilent || line.recordedHasUpdate))
        Refuse("--recorded-silent and --has-update go with --recorded");
    return line;
}
