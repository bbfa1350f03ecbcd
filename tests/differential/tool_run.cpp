#include "tool_run.h"

ToolRun::ToolRun(const DiffCase& c, const TempFolder& scratch)
{
    std::string manifest = scratch.Write("case-" + std::to_string(c.index) + ".ini", c.manifest);
    std::string line = "\"" + ProgramFolder() + "\\manifest-tool.exe\" explain \"" + manifest + "\"" +
                       Options(c.installation);
    commandLine_ = line + " --json";
    json_ = std::make_unique<ChildProcess>(commandLine_, scratch.path());
    text_ = std::make_unique<ChildProcess>(line, scratch.path());
}

std::string ToolRun::Options(const DiffInstallation& in)
{
    std::string options = " --installed " + in.installed;
    if (in.record) {
        options += " --recorded " + in.record->version + " --recorded-silent " + std::to_string(in.record->silent);
        if (in.record->hasUpdate != 1)
            options += " --has-update " + std::to_string(in.record->hasUpdate);
    }
    if (in.testMode)
        options += " --test";
    if (in.keyed)
        options += " --key \"" + ProgramFolder() + "\\signing\\key-public.pem\"";
    if (in.acceptedSerial)
        options += " --previous " + std::to_string(*in.acceptedSerial);
    return options + " --channel " + in.Channel() + " --draw " + in.DrawText();
}

ToolAnswer ToolRun::Wait()
{
    ToolAnswer answer;
    answer.commandLine = commandLine_;
    ProcessResult json = json_->Wait(120000);
    answer.exitCode = json.exitCode;
    answer.output = json.output + json.errorOutput;
    answer.json = ParseJson(json.output);
    ProcessResult text = text_->Wait(120000);
    answer.textExitCode = text.exitCode;
    answer.textOutput = text.output + text.errorOutput;
    return answer;
}
