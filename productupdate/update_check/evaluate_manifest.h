// The update decision on a downloaded manifest, with the installation's
// state: the registry record of a package already fetched and the run's
// parameters.
#pragma once

#include <string>
#include <vector>

#include "run/run_parameters.h"
#include "startup/module_context.h"
#include "update_decision.h"

// What the evaluation of a manifest decided for this installation, in the
// order it is decided: only Offered fetches a package.
enum class ManifestOutcome {
    NotNewer,    // Ver is not above the recorded or the installed version
    HeldBack,    // the staged rollout does not reach this installation yet
    NoPackage,   // neither the applying packet nor the fallback lists a URL
    PinRefused,  // the package's sha256 or size does not allow the fetch
    Pending,     // the same offer, in the same silent mode, is already recorded
    Offered,
};

struct ManifestEvaluation {
    ManifestOutcome outcome = ManifestOutcome::NotNewer;
    bool withdrawn = false;  // the recorded update was taken back first
    bool offered() const { return outcome == ManifestOutcome::Offered; }
    // A run asks only whether to fetch.
    explicit operator bool() const { return offered(); }
};

// Evaluates the manifest, as AcceptManifest read it. When there is a package
// to fetch, pending or not, its URLs are appended to urls; force and the
// run's offeredVersion and silentUpdate are set as far as the decision got. info gets the manifest's
// description whatever the outcome. An offer identical to the one already
// recorded as pending, in the same silent mode, is withheld. The context
// gives the publisher's keys and the folder of the module's pending copy.
ManifestEvaluation EvaluateManifest(const ModuleContext& context, const UpdateManifest& manifest,
                                    RunParameters& run, int& force, std::vector<std::string>& urls,
                                    std::string& info);

// What a run takes from a decision, on plain values: the offered version,
// the applying packet's force and silent flags, and the URLs with their pin
// when the pin allows the fetch (a keyed build demands a complete one). True
// when there is a package to fetch. Writes the offer's trace lines.
bool TakeDecision(const UpdateDecision& decision, const UpdateManifest& manifest, bool keyed,
                  RunParameters& run, int& force, std::vector<std::string>& urls);
