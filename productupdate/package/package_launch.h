// What becomes of a downloaded package: in test mode it is started at once;
// otherwise it is copied into the user's data folder and recorded as a
// pending update for the product to install.
#pragma once

#include <optional>
#include <string>

#include "run/run_parameters.h"

void LaunchPackage(const RunParameters& run, const std::string& userDataDirectory,
                   std::string packagePath);

// Copies the package to <user data>\VLNRUpdate\VLNRUpdate.exe and writes the
// update record under Software\Velnor\Update. The copy replaces an earlier
// one only once it is whole; a failed copy leaves that one and writes nothing.
void RecordUpdate(const RunParameters& run, const std::string& userDataDirectory,
                  std::string packagePath);

// <user data>\VLNRUpdate\VLNRUpdate.exe, the one pending copy the module
// writes; nullopt when the path does not fit.
std::optional<std::string> PendingCopyPath(const std::string& userDataDirectory);
