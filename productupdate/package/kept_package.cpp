#include "kept_package.h"

#include "framework/debug_output.h"
#include "mirror_pick.h"
#include "transfer/download_folder.h"
#include "transfer/kept_files.h"

const char* PackageFileName(bool testMode)
{
    return testMode ? "VLNRUpdatePackT.exe" : "VLNRUpdatePack.exe";
}

std::string ChoosePackageCopy(const std::vector<std::string>& urls, bool testMode,
                              const PackagePin& pin)
{
    std::string target = DownloadPath(PackageFileName(testMode));
    std::optional<KeptTransfer> kept = ReadKeptRecord(target);
    std::string url = ChoosePackageUrl(urls, kept ? kept->url : std::string(), PickMirror(urls.size()));
    if (kept && !KeptServes(*kept, url, pin)) {
        framework::DebugOutput("Package transfer starts over: the kept bytes are of another offer");
        DiscardKept(target);
    }
    return url;
}

void DiscardKeptPackage(bool testMode)
{
    std::string target = DownloadPath(PackageFileName(testMode));
    if (ReadKeptRecord(target) || KeptLength(target))
        framework::DebugOutput("Kept package bytes deleted: their offer is no longer made");
    DiscardKept(target);
}
