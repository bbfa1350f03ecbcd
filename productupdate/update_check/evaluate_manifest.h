// The update decision on a downloaded manifest, with the installation's
// state: the registry record of a package already fetched and the run's
// parameters.
#pragma once

#include <string>
#include <vector>

#include "run/run_parameters.h"
#include "startup/module_context.h"
#include "update_decision.h"

// True when an update is offered by the manifest, as AcceptManifest read
// it: the package URLs are appended to urls, force and the run's
// offeredVersion and silentUpdate are set. info gets the manifest's
// description whatever the outcome. An offer identical to the one already
// recorded as pending, in the same silent mode, is withheld. The context
// gives the publisher's keys and the folder of the module's pending copy.
bool EvaluateManifest(const ModuleContext& context, const UpdateManifest& manifest,
                      RunParameters& run, int& force, std::vector<std::string>& urls,
                      std::string& info);

// What a run takes from a decision, on plain values: the offered version,
// the applying packet's force and silent flags, and the URLs with their pin
// when the pin allows the fetch (a keyed build demands a complete one). True
// when there is a package to fetch. Writes the offer's trace lines.
bool TakeDecision(const UpdateDecision& decision, const UpdateManifest& manifest, bool keyed,
                  RunParameters& run, int& force, std::vector<std::string>& urls);
