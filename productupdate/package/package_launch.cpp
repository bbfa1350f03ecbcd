#include "package_launch.h"

#include <algorithm>
#include <vector>

#include "framework/path.h"
#include "settings/settings_key_store.h"
#include "startup/module_state.h"

void LaunchPackage(const RunParameters& run, std::string packagePath)
{
    if (run.testMode == 0) {
        RecordUpdate(run, std::move(packagePath));
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
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
}

void RecordUpdate(const RunParameters& run, std::string packagePath)
{
    std::string folder = Module().userDataDirectory;
    if (!framework::AppendPath(folder, "VLNRUpdate"))
        return;
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string copy = folder;
    if (!framework::AppendPath(copy, "VLNRUpdate.exe") ||
        !CopyFileA(packagePath.c_str(), copy.c_str(), FALSE))
        return;

    SettingsKeyStore store;
    store.SetRegistryName("Velnor");
    store.WriteInt("Update", "HasUpdate", 1);
    store.WriteString("Update", "UpdateVersion", run.offeredVersion.c_str());
    store.WriteString("Update", "UpdatePath", copy.c_str());
    store.WriteInt("update", "force", run.forceUpdate);
    store.WriteInt("Update", "Silent", run.silentUpdate);
}
