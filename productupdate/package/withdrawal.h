// Taking back a pending update that the publisher withdrew, before the
// product installs it at its next start.
#pragma once

#include <string>
#include <vector>

// When the update record claims an update (HasUpdate nonzero) whose
// UpdateVersion is one of the withdrawn versions, removes the record's
// values, HasUpdate first, and then deletes the module's own pending copy;
// a file that UpdatePath names elsewhere is never touched. One trace line
// names the version, and says so when the copy could not be deleted. True
// when the record was withdrawn.
bool WithdrawPendingUpdate(const std::vector<std::string>& withdrawn,
                           const std::string& userDataDirectory);
