#include "withdrawal.h"

#include <algorithm>

#include "framework/debug_output.h"
#include "package_launch.h"
#include "settings/settings_key_store.h"
#include "shared/facts.h"

namespace {

// HasUpdate goes first: whatever fails after it, nothing claims the update.
void RemoveRecord(const SettingsKeyStore& store)
{
    if (!store.WriteString(kRecordSection, kHasUpdateValue, nullptr))
        store.WriteInt(kRecordSection, kHasUpdateValue, 0);
    for (const char* name : {kUpdateVersionValue, kUpdatePathValue, kForceValue, kSilentValue})
        store.WriteString(kRecordSection, name, nullptr);
}

}  // namespace

bool WithdrawPendingUpdate(const std::vector<std::string>& withdrawn,
                           const std::string& userDataDirectory)
{
    if (withdrawn.empty())
        return false;
    SettingsKeyStore store;
    store.SetRegistryName(kRecordStoreName);
    if (store.ReadInt(kRecordSection, kHasUpdateValue, 0) == 0)
        return false;
    std::string version = store.ReadString(kRecordSection, kUpdateVersionValue, "");
    if (version.empty() || std::find(withdrawn.begin(), withdrawn.end(), version) == withdrawn.end())
        return false;
    std::string path = store.ReadString(kRecordSection, kUpdatePathValue, "");
    RemoveRecord(store);

    std::optional<std::string> own = PendingCopyPath(userDataDirectory);
    bool ours = own && _stricmp(own->c_str(), path.c_str()) == 0;
    bool copyKept = ours && !DeleteFileA(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND;
    framework::DebugOutput(WithdrawnTrace(version, copyKept));
    return true;
}
