// What check says of a staged rollout ([Full] Rollout) and of a withdrawal
// list ([Full] Withdrawn), as the module reads them.
#pragma once

#include <vector>

#include "manifest_check.h"
#include "update_check/update_manifest.h"

void CheckRolloutAndWithdrawal(const UpdateManifest& manifest, std::vector<Finding>& findings);
