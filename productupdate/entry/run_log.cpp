#include "run_log.h"

#include "framework/path.h"

namespace {

// Neither name matches the old-file sweep's "*.(old)", which may reach the
// user data folder when that is the host directory.
const char kLogFile[] = "VLNRUpdate.log";
const char kOlderLogFile[] = "VLNRUpdate.1.log";
// A few hundred runs' lines in each file, and never much more on the disk.
constexpr uint64_t kLogCap = 256 * 1024;

}  // namespace

std::string RunMode(const RunParameters& run)
{
    if (run.testMode)
        return "test/hidden";
    return run.startHidden ? "normal/hidden" : "normal/shown";
}

void StartRunLog(framework::TraceLog& log, const RunParameters& run, const std::string& folder)
{
    framework::TraceLogFiles files{folder, folder, kLogCap};
    if (!framework::IsAbsolutePath(folder) || !framework::AppendPath(files.current, kLogFile) ||
        !framework::AppendPath(files.older, kOlderLogFile))
        return;
    log.Start(files, RunMode(run));
}
