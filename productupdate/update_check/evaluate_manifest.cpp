#include "evaluate_manifest.h"

#include <cstdio>
#include <optional>

#include "framework/debug_output.h"
#include "framework/registry.h"
#include "package/withdrawal.h"
#include "rollout.h"
#include "settings/settings_key_store.h"
#include "shared/facts.h"
#include "signing/manifest_trust.h"
#include "update_decision.h"
#include "update_manifest.h"

namespace {

// The version of a package already fetched, as the update record holds it.
std::optional<std::string> RegistryVersion(HKEY key)
{
    char buffer[kRecordVersionBytes + 1] = {};
    DWORD size = kRecordVersionBytes;  // the extra byte keeps a value without its own zero terminated
    if (RegQueryValueExA(key, kUpdateVersionValue, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
        framework::DebugOutput(kTraceRecordVersionNotRead);
        return std::nullopt;
    }
    framework::DebugOutput(kTraceRecordVersionRead);
    return std::string(buffer);
}

void TraceVersions(const std::optional<std::string>& registry, const std::string& installed,
                   const std::string& offered)
{
    std::string regText = registry.value_or("");
    int size = std::snprintf(nullptr, 0, kTraceVersionsFormat, regText.c_str(), installed.c_str(),
                             offered.c_str(), registry ? 1 : 0);
    std::string line(static_cast<size_t>(size) + 1, '\0');
    std::snprintf(line.data(), line.size(), kTraceVersionsFormat, regText.c_str(), installed.c_str(),
                  offered.c_str(), registry ? 1 : 0);
    line.resize(static_cast<size_t>(size));
    framework::DebugOutput(line);
}

// The same offer is already pending, in the same silent mode.
bool AlreadyPending(const RunParameters& run)
{
    SettingsKeyStore store;
    store.SetRegistryName(kRecordStoreName);
    if (store.ReadInt(kRecordSection, kHasUpdateValue, 0) == 0)
        return false;
    std::string version = store.ReadString(kRecordSection, kUpdateVersionValue, "0.0.0.0");
    int silent = store.ReadInt(kRecordSection, kSilentValue, 0);
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
    framework::DebugOutput(HeldBackTrace(share, *manifest.rollout, place));
    return true;
}

// Why a decision that TakeDecision declined offers nothing.
ManifestOutcome Declined(const UpdateDecision& decision, bool heldBack)
{
    if (heldBack)
        return ManifestOutcome::HeldBack;
    if (!decision.newer)
        return ManifestOutcome::NotNewer;
    return decision.offer() ? ManifestOutcome::PinRefused : ManifestOutcome::NoPackage;
}

}  // namespace

bool TakeDecision(const UpdateDecision& decision, const UpdateManifest& manifest, bool keyed,
                  RunParameters& run, int& force, std::vector<std::string>& urls)
{
    if (decision.newer) {
        framework::DebugOutput(kTraceStartDownloading);
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

ManifestEvaluation EvaluateManifest(const ModuleContext& context, const UpdateManifest& manifest,
                                    RunParameters& run, int& force, std::vector<std::string>& urls,
                                    std::string& info)
{
    ManifestEvaluation evaluation;
    force = 0;
    info = manifest.info;
    // A withdrawn pending update goes first, so that a good offer of the
    // same manifest is decided as if none had been recorded.
    if (!run.testMode)
        evaluation.withdrawn = WithdrawPendingUpdate(WithdrawnVersions(manifest.withdrawn),
                                                     context.userDataDirectory);

    std::optional<std::string> registryVersion;
    framework::RegKey key = framework::OpenRegKey(HKEY_CURRENT_USER, kRecordKey, KEY_READ);
    if (!key) {
        framework::DebugOutput(kTraceRecordNotOpened);
    } else {
        framework::DebugOutput(kTraceRecordOpened);
        registryVersion = RegistryVersion(key.get());
    }
    TraceVersions(registryVersion, run.installedVersion, manifest.version);

    UpdateDecision decision =
        DecideUpdate(manifest, run.installedVersion, registryVersion, run.testMode != 0);
    // Held back, the run goes on as one that is offered nothing.
    bool heldBack = decision.newer && decision.offer() && HeldBack(manifest, run);
    if (heldBack)
        decision = UpdateDecision{};
    if (!TakeDecision(decision, manifest, !context.updateKeys.empty(), run, force, urls))
        evaluation.outcome = Declined(decision, heldBack);
    else
        evaluation.outcome = AlreadyPending(run) ? ManifestOutcome::Pending : ManifestOutcome::Offered;
    return evaluation;
}
