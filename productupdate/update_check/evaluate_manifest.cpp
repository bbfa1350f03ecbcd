#include "evaluate_manifest.h"

#include <cstdio>
#include <optional>

#include "framework/debug_output.h"
#include "framework/registry.h"
#include "package/withdrawal.h"
#include "rollout.h"
#include "settings/settings_key_store.h"
#include "signing/manifest_trust.h"
#include "update_decision.h"
#include "update_manifest.h"

namespace {

// The version of a package already fetched, as the update record holds it.
std::optional<std::string> RegistryVersion(HKEY key)
{
    char buffer[261] = {};
    DWORD size = 260;  // the extra byte keeps a value without its own zero terminated
    if (RegQueryValueExA(key, "UpdateVersion", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                         &size) != ERROR_SUCCESS) {
        framework::DebugOutput("QueryValue UpdateVersion Failed");
        return std::nullopt;
    }
    framework::DebugOutput("QueryValue UpdateVersion Succed");
    return std::string(buffer);
}

void TraceVersions(const std::optional<std::string>& registry, const std::string& installed,
                   const std::string& offered)
{
    std::string format = "strRegVersion=%s lpLocalVersion=%s szVersion=%s hasRegVersion=%d";
    std::string regText = registry.value_or("");
    int size = std::snprintf(nullptr, 0, format.c_str(), regText.c_str(), installed.c_str(),
                             offered.c_str(), registry ? 1 : 0);
    std::string line(static_cast<size_t>(size) + 1, '\0');
    std::snprintf(line.data(), line.size(), format.c_str(), regText.c_str(), installed.c_str(),
                  offered.c_str(), registry ? 1 : 0);
    line.resize(static_cast<size_t>(size));
    framework::DebugOutput(line);
}

// The same offer is already pending, in the same silent mode.
bool AlreadyPending(const RunParameters& run)
{
    SettingsKeyStore store;
    store.SetRegistryName("Velnor");
    if (store.ReadInt("Update", "HasUpdate", 0) == 0)
        return false;
    std::string version = store.ReadString("Update", "UpdateVersion", "0.0.0.0");
    int silent = store.ReadInt("Update", "Silent", 0);
    return version == run.offeredVersion && (silent != 0) == (run.silentUpdate != 0);
}

// A staged rollout that does not reach this installation yet. Test mode
// takes every offer; a manifest without Rollout offers to everyone and
// draws nothing.
bool HeldBack(const UpdateManifest& manifest, const RunParameters& run)
{
    if (run.testMode || !manifest.rollout)
        return false;
    std::optional<unsigned> share = RolloutShare(*manifest.rollout);
    unsigned place = RolloutPlace(InstallationDraw(), manifest.version);
    if (share && place < *share)
        return false;
    std::string rollout = share ? std::to_string(*share) + "%" : "'" + *manifest.rollout + "' unreadable";
    framework::DebugOutput("Update held back: rollout " + rollout + ", place " + std::to_string(place));
    return true;
}

}  // namespace

bool TakeDecision(const UpdateDecision& decision, const UpdateManifest& manifest, bool keyed,
                  RunParameters& run, int& force, std::vector<std::string>& urls)
{
    if (decision.newer) {
        framework::DebugOutput("Start Downloading");
        run.offeredVersion = manifest.version;
    }
    if (decision.packet) {
        force = decision.packet->force;
        run.silentUpdate = decision.packet->silent;
    }
    if (!decision.offer() || !PinAllowsFetch(decision.pin, keyed))
        return false;
    urls.insert(urls.end(), decision.urls.begin(), decision.urls.end());
    run.packagePin = decision.pin;
    return true;
}

bool EvaluateManifest(const ModuleContext& context, const UpdateManifest& manifest,
                      RunParameters& run, int& force, std::vector<std::string>& urls,
                      std::string& info)
{
    force = 0;
    info = manifest.info;
    // A withdrawn pending update goes first, so that a good offer of the
    // same manifest is decided as if none had been recorded.
    if (!run.testMode)
        WithdrawPendingUpdate(WithdrawnVersions(manifest.withdrawn), context.userDataDirectory);

    std::optional<std::string> registryVersion;
    framework::RegKey key =
        framework::OpenRegKey(HKEY_CURRENT_USER, "Software\\Velnor\\Update", KEY_READ);
    if (!key) {
        framework::DebugOutput("Open \\\\HKEY_CURRENT_USER\\Software\\Velnor\\Update Failed");
    } else {
        framework::DebugOutput("Open \\\\HKEY_CURRENT_USER\\Software\\Velnor\\Update Succed");
        registryVersion = RegistryVersion(key.get());
    }
    TraceVersions(registryVersion, run.installedVersion, manifest.version);

    UpdateDecision decision =
        DecideUpdate(manifest, run.installedVersion, registryVersion, run.testMode != 0);
    // Held back, the run goes on as one that is offered nothing.
    if (decision.newer && decision.offer() && HeldBack(manifest, run))
        decision = UpdateDecision{};
    bool offer = TakeDecision(decision, manifest, !context.updateKeys.empty(), run, force, urls);
    return offer && !AlreadyPending(run);
}
