#include "rollout_check.h"

#include "offers.h"
#include "update_check/rollout.h"

namespace {

const char kOlderModules[] =
    "modules built before staged rollouts ignore Rollout and Withdrawn: they take the offer at once";

void CheckRollout(const UpdateManifest& manifest, std::vector<Finding>& findings)
{
    if (!manifest.rollout)
        return;
    if (!RolloutShare(*manifest.rollout))
        findings.push_back({Severity::Error, "Full", "Rollout",
                            "'" + *manifest.rollout + "' is no percentage from 0 to 100: "
                            "every installation is held back"});
    else if (*RolloutShare(*manifest.rollout) == 0)
        findings.push_back({Severity::Warning, "Full", "Rollout",
                            "is 0: every installation is held back"});
}

void CheckWithdrawn(const UpdateManifest& manifest, std::vector<Finding>& findings)
{
    for (const std::string& version : WithdrawnVersions(manifest.withdrawn)) {
        if (version == manifest.version)
            findings.push_back({Severity::Error, "Full", "Withdrawn",
                                "names the offered Ver " + version + ": every run would delete the "
                                "package it fetched and fetch it again"});
        else if (!ReadsAsFourNumbers(version))
            findings.push_back({Severity::Warning, "Full", "Withdrawn",
                                "'" + version + "' does not read as four numbers: it takes back "
                                "only a record of exactly this text"});
    }
}

}  // namespace

void CheckRolloutAndWithdrawal(const UpdateManifest& manifest, std::vector<Finding>& findings)
{
    CheckRollout(manifest, findings);
    CheckWithdrawn(manifest, findings);
    if (manifest.rollout || !manifest.withdrawn.empty())
        findings.push_back({Severity::Note, "Full", manifest.rollout ? "Rollout" : "Withdrawn", kOlderModules});
}
