#include "manifest_check.h"

#include "check_context.h"
#include "key_check.h"
#include "list_check.h"
#include "pin_check.h"
#include "rollout_check.h"
#include "signing_check.h"
#include "structure_check.h"
#include "version_check.h"

// The families in the order their findings are reported. The packets come
// before [Full]'s own list, and what the rows of coverage show comes after
// every range has been judged on its own.
std::vector<Finding> CheckManifest(const ManifestInput& input, const CheckOptions& options)
{
    CheckContext check(input, options);
    if (!CheckStructure(check))
        return check.findings;
    CheckVersion(check);
    CheckPackets(check);
    CheckList(check, "Full", check.manifest.files);
    CheckSharedPins(check);
    CheckReached(check);
    CheckFallback(check);
    CheckWhoGetsNothing(check);
    CheckSigning(check);
    CheckAgainstPrevious(check);
    if (check.testMode())
        CheckWhatTestModeIgnores(check);
    else
        CheckRolloutAndWithdrawal(check.manifest, check.findings);
    CheckKeys(input.path, check.manifest, check.findings);
    return check.findings;
}

const char* SeverityName(Severity severity)
{
    switch (severity) {
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    default: return "note";
    }
}
