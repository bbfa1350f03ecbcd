// The package file of a run and the bytes a cut transfer of it kept: which
// copy a run fetches when bytes are kept, and their removal once the offer
// they belong to is no longer made.
#pragma once

#include <string>
#include <vector>

#include "transfer/package_pin.h"

// "VLNRUpdatePackT.exe" in test mode, else "VLNRUpdatePack.exe".
const char* PackageFileName(bool testMode);

// The URL of the list to fetch: the one the kept bytes came from when the
// list holds it, else one at random. Kept bytes that cannot serve that
// fetch (another offer's) are deleted.
std::string ChoosePackageCopy(const std::vector<std::string>& urls, bool testMode,
                              const PackagePin& pin);

// Deletes what a cut transfer of this mode's package kept: the run found
// no offer, so those bytes belong to one that is no longer made.
void DiscardKeptPackage(bool testMode);
