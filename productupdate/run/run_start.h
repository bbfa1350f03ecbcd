// The start of a run before anything is fetched: its switches, its mode's
// mutex and the installed version of a test run.
#pragma once

#include <string>

#include "run_parameters.h"

// Reads the run's switches into the run: shown or hidden, test mode, and the
// manifest URL (empty without the switch).
void ReadSwitches(const char* commandLine, RunParameters& run);

// Only one run of a mode at a time, across processes. False, with the
// mode's refusal traced, when another run holds the mode's mutex, or when
// the mutex cannot be had at all (another user's or integrity level's run
// may hold it); the run owns it otherwise.
bool TakeInstanceMutex(RunParameters& run);

// The test version beside the host, "1000" style, converted to 1.0.0.0 style.
std::string TestVersion(const std::string& hostDirectory);
