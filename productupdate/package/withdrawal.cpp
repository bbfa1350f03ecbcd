#include "withdrawal.h"

#include <algorithm>

#include "framework/debug_output.h"
#include "package_launch.h"
#include "settings/settings_key_store.h"

namespace {

// HasUpdate goes first: whatever fails after it, nothing claims the update.
void RemoveRecord(const SettingsKeyStore& store)
{
    if (!store.WriteString("Update", "HasUpdate", nullptr))
        store.WriteInt("Update", "HasUpdate", 0);
    for (const char* name : {"UpdateVersion", "UpdatePath", "force", "Silent"})
        store.WriteString("Update", name, nullptr);
}

}  // namespace

bool WithdrawPendingUpdate(const std::vector<std::string>& withdrawn,
                           const std::string& userDataDirectory)
{
    if (withdrawn.empty())
        return false;
    SettingsKeyStore store;
    store.SetRegistryName("Velnor");
    if (store.ReadInt("Update", "HasUpdate", 0) == 0)
        return false;
    std::string version = store.ReadString("Update", "UpdateVersion", "");
    if (version.empty() || std::find(withdrawn.begin(), withdrawn.end(), version) == withdrawn.end())
        return false;
    std::string path = store.ReadString("Update", "UpdatePath", "");
    RemoveRecord(store);

    std::optional<std::string> own = PendingCopyPath(userDataDirectory);
    bool ours = own && _stricmp(own->c_str(), path.c_str()) == 0;
    if (ours && !DeleteFileA(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        framework::DebugOutput("Update " + version + " withdrawn; its copy could not be deleted");
    else
        framework::DebugOutput("Update " + version + " withdrawn");
    return true;
}
