#include "package_launch.h"

#include <algorithm>
#include <vector>

#include "framework/handles.h"
#include "framework/path.h"
#include "settings/settings_key_store.h"
#include "shared/facts.h"
#include "update_record.h"

void LaunchPackage(const RunParameters& run, const std::string& userDataDirectory,
                   std::string packagePath)
{
    if (run.testMode == 0) {
        RecordUpdate(run, userDataDirectory, std::move(packagePath));
        return;
    }
    packagePath.erase(std::remove(packagePath.begin(), packagePath.end(), '"'), packagePath.end());
    std::string command = "\"" + packagePath + "\" /Velnor";
    std::vector<char> commandLine(command.begin(), command.end());
    commandLine.push_back('\0');

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
        // Nothing waits for the package: its handles go at once.
        framework::Handle started(process.hProcess), thread(process.hThread);
    }
}

namespace {

// Copies the package over the pending copy only once it is whole: a copy cut
// short (a full disk) must leave the earlier package and its record usable.
bool ReplaceCopy(const std::string& packagePath, const std::string& folder, const std::string& copy)
{
    std::string partial = folder;
    if (!framework::AppendPath(partial, "VLNRUpdate.exe.part"))
        return false;
    if (CopyFileA(packagePath.c_str(), partial.c_str(), FALSE) &&
        MoveFileExA(partial.c_str(), copy.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    DeleteFileA(partial.c_str());
    return false;
}

}  // namespace

std::optional<std::string> PendingCopyPath(const std::string& userDataDirectory)
{
    std::string copy = userDataDirectory;
    if (!framework::AppendPath(copy, "VLNRUpdate") || !framework::AppendPath(copy, "VLNRUpdate.exe"))
        return std::nullopt;
    return copy;
}

void RecordUpdate(const RunParameters& run, const std::string& userDataDirectory,
                  std::string packagePath)
{
    std::optional<std::string> copy = PendingCopyPath(userDataDirectory);
    if (!copy)
        return;
    std::string folder = framework::RemoveFileSpec(*copy);
    CreateDirectoryA(folder.c_str(), nullptr);
    if (!ReplaceCopy(packagePath, folder, *copy))
        return;

    SettingsKeyStore store;
    store.SetRegistryName(kRecordStoreName);
    WriteUpdateRecord(store, {run.offeredVersion, *copy, run.forceUpdate, run.silentUpdate});
}
