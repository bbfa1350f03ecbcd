// The order of a run, top to bottom: the start on the caller's thread, then
// the steps that the wizard's pages take as their transfers end (each
// transfer runs on a worker of its own, whose notices reach the page
// synchronously on this thread), then the hand-off.
#include "update_run.h"

#include <limits>

#include "entry/file_update.h"
#include "entry/old_files.h"
#include "entry/run_log.h"
#include "framework/debug_output.h"
#include "framework/path.h"
#include "package/held_package.h"
#include "package/kept_package.h"
#include "package/package_launch.h"
#include "run_start.h"
#include "shared/facts.h"
#include "signing/manifest_trust.h"
#include "startup/directories.h"
#include "update_check/evaluate_manifest.h"
#include "update_check/manifest_location.h"

void UpdateRun::Run(const char* commandLine, framework::TraceLog& log, RunView& view)
{
    if (!Start(commandLine, log))
        return;
    view.DoModal();  // the manifest and the package, through the steps below
    framework::DebugOutput("BeforeFileUpdate");
    RunFileUpdate(iniFilePath);
}

// The sweep and the run's start: its switches, its log, its mode's mutex and
// the installed version. False when another run of the mode holds it.
bool UpdateRun::Start(const char* commandLine, framework::TraceLog& log)
{
    std::string dataDirectory;
    ResolveDataDirectory(dataDirectory);
    iniFilePath = dataDirectory + "\\VLNR.INI";
    framework::DebugOutput("IniFilePath");
    framework::DebugOutput(iniFilePath);

    SweepOldFiles(context_.hostDirectory);
    ReadSwitches(commandLine, *this);
    StartRunLog(log, *this, context_.userDataDirectory);

    if (testMode == 0) {
        installedVersion = framework::ReadProfileString("Version", "packet", "0.0.0.1", iniFilePath);
        return TakeInstanceMutex(*this);
    }
    if (!TakeInstanceMutex(*this))
        return false;
    installedVersion = TestVersion(context_.hostDirectory);
    startHidden = 1;  // a test run is hidden whatever its switches say
    interactive = 0;
    return true;
}

// The manifest: the URL switch's, the test manifest, or the company's.
Fetch UpdateRun::ManifestToFetch()
{
    std::string company;
    if (!testMode)
        company = framework::ReadProfileString("Version", "company", "self", iniFilePath);
    ManifestLocation manifest = ChooseManifest(testMode != 0, manifestUrlOverride, company);
    channel_ = manifest.channel;
    return {manifest.url, manifest.fileName, {}, kMaxManifestBytes, false};
}

StepOutcome UpdateRun::ManifestFetched(const std::optional<std::string>& manifestPath)
{
    return manifestPath ? Decide(*manifestPath) : StepOutcome::Failed;
}

// Trust, then the decision (withdrawal, the version step, rollout) on the
// manifest this build trusts. The file is gone after this.
StepOutcome UpdateRun::Decide(const std::string& manifestPath)
{
    // A build whose key does not read trusts no manifest: it was meant to check.
    if (context_.updateKeyUnreadable) {
        framework::DebugOutput(kTraceUpdateKeyUnreadable);
        DeleteFileA(manifestPath.c_str());
        return StepOutcome::Failed;
    }
    // A manifest that this build cannot trust is no manifest at all.
    std::optional<UpdateManifest> manifest =
        AcceptManifest(manifestPath, channel_, context_.updateKeys);
    if (!manifest)
        return StepOutcome::Failed;
    int force = 0;
    std::string info;  // the update's description: nothing shows it
    if (EvaluateManifest(context_, *manifest, *this, force, packageUrls_, info)) {
        forceUpdate = force;
        return StepOutcome::Offered;
    }
    DiscardKeptPackage(testMode != 0);
    runFinished = 1;
    return StepOutcome::NothingOffered;
}

// The package: exactly one of the alternatives. An empty list (which the
// decision never offers) fails like a transfer of no URL.
Fetch UpdateRun::PackageToFetch()
{
    return {ChoosePackageCopy(packageUrls_, testMode != 0, packagePin),
            PackageFileName(testMode != 0), packagePin, std::numeric_limits<std::uint64_t>::max(),
            true};
}

// The hold, then the record or, in test mode, the launch.
StepOutcome UpdateRun::PackageFetched(const std::optional<std::string>& packagePath)
{
    if (!packagePath)
        return StepOutcome::Failed;
    // Held, and checked again, until it has been copied or started.
    if (framework::FileHandle held = HoldPackage(*packagePath, packagePin))
        LaunchPackage(*this, context_.userDataDirectory, *packagePath);
    else
        DeleteFileA(packagePath->c_str());
    return StepOutcome::Ended;
}
