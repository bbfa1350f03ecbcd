// The log that support can ask for: the trace lines of the last runs, each
// stamped and with its run's mode, in the user data folder.
#pragma once

#include <string>

#include "framework/trace_log.h"
#include "run/run_parameters.h"

// The run's mode as the log names it: "normal/hidden", "normal/shown" or
// "test/hidden" (a test run is hidden whatever its switches say).
std::string RunMode(const RunParameters& run);

// Starts the run's log in the user data folder once its switches are read,
// so that the lines traced before then carry the mode too. Without a full
// folder there is no log.
void StartRunLog(framework::TraceLog& log, const RunParameters& run, const std::string& folder);
