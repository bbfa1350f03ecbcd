// The publisher's tool on the same pair: `manifest-tool explain` as JSON and
// as text, as separate processes that may run beside the module's run.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "differential_case.h"
#include "json_value.h"
#include "support/process.h"
#include "support/temp_folder.h"

struct ToolAnswer {
    std::string commandLine;  // of the JSON run, for a person to repeat it
    DWORD exitCode = 0;
    std::string output;  // what the JSON run printed, and on standard error
    std::optional<JsonValue> json;
    DWORD textExitCode = 0;
    std::string textOutput;
};

class ToolRun {
public:
    // Writes the manifest to a file of its own and starts both runs.
    ToolRun(const DiffCase& c, const TempFolder& scratch);
    ToolAnswer Wait();

    // The options of `explain` for the installation, after the manifest's path.
    static std::string Options(const DiffInstallation& in);

private:
    std::string commandLine_;
    std::unique_ptr<ChildProcess> json_, text_;
};
