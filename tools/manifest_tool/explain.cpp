#include "explain.h"

#include <fstream>

#include "framework/debug_output.h"
#include "framework/path.h"
#include "package/update_record.h"
#include "registry_sandbox.h"
#include "shared/facts.h"
#include "signing/manifest_trust.h"
#include "startup/module_context.h"
#include "tool_error.h"
#include "update_check/evaluate_manifest.h"
#include "update_check/rollout.h"

namespace {

void RecordState(const Installation& installation, const std::string& channel)
{
    if (installation.recorded) {
        SettingsKeyStore store;
        store.SetRegistryName(kRecordStoreName);
        WriteUpdateRecord(store, {*installation.recorded, "", 0, installation.recordedSilent});
        if (installation.recordedHasUpdate != 1)
            store.WriteInt(kRecordSection, kHasUpdateValue, installation.recordedHasUpdate);
    }
    if (installation.acceptedSerial)
        StoreHighestSerial(channel, *installation.acceptedSerial);
    if (installation.draw)
        StoreInstallationDraw(*installation.draw);
}

// The evaluation deletes the manifest it reads: it gets a copy.
std::string CopyOf(const ManifestInput& manifest)
{
    char path[MAX_PATH];
    std::string folder = framework::TempFolder();
    if (folder.empty() || !GetTempFileNameA(folder.c_str(), "vmt", 0, path))
        throw ToolError("cannot make a temporary file");
    std::ofstream(path, std::ios::binary).write(manifest.bytes.data(),
                                                static_cast<std::streamsize>(manifest.bytes.size()));
    return path;
}

void Evaluate(const ManifestInput& manifest, const Installation& installation, const std::string& channel,
              Explanation& out)
{
    std::optional<UpdateManifest> accepted = AcceptManifest(CopyOf(manifest), channel, installation.keys);
    out.trusted = accepted.has_value();
    if (!out.trusted)
        return;
    // The installation's own context: its keys, and no folder of a pending copy.
    ModuleContext context;
    context.updateKeys = installation.keys;
    RunParameters run;
    run.installedVersion = installation.installed;
    run.testMode = installation.testMode ? 1 : 0;
    ManifestEvaluation evaluation = EvaluateManifest(context, *accepted, run, out.force, out.urls, out.info);
    out.result = evaluation.offered();
    out.withdrawn = evaluation.withdrawn;
    out.heldBack = evaluation.outcome == ManifestOutcome::HeldBack;
    out.alreadyPending = evaluation.outcome == ManifestOutcome::Pending;
    out.silent = run.silentUpdate;
    out.offeredVersion = run.offeredVersion;
    out.pin = run.packagePin;
    // Read back inside the sandbox: the draw given, or the one the module made.
    if (accepted->rollout && !installation.testMode)
        out.place = RolloutPlace(InstallationDraw(), accepted->version);
}

}  // namespace

std::optional<std::string> KeyedRefusal(const ManifestInput& manifest, const std::vector<framework::EcPoint>& keys,
                                        const std::optional<std::string>& channel)
{
    if (keys.empty())
        return std::nullopt;
    RegistrySandbox sandbox;
    framework::TraceCollector trace;
    std::string fetched = channel.value_or(framework::ReadProfileString("Full", "Channel", "", manifest.path));
    if (AcceptManifest(CopyOf(manifest), fetched, keys))
        return std::nullopt;
    return trace.lines().empty() ? "untrusted" : trace.lines().back();
}

Explanation Explain(const ManifestInput& manifest, const Installation& installation)
{
    Explanation out;
    if (manifest.controlByte)
        out.warnings.push_back(ControlByteWarning(manifest));
    out.channel = installation.channel.value_or(framework::ReadProfileString("Full", "Channel", "", manifest.path));
    {
        RegistrySandbox sandbox;
        RecordState(installation, out.channel);
        framework::TraceCollector trace;
        Evaluate(manifest, installation, out.channel, out);
        out.trace = trace.lines();
    }
    UpdateManifest read = ReadUpdateManifest(manifest.path);
    // A withdrawn record is decided as if there were none, and so is one the
    // module cannot read into its buffer.
    std::optional<std::string> recorded;
    if (!out.withdrawn && installation.recorded && installation.recorded->size() < kRecordVersionBytes)
        recorded = installation.recorded;
    out.baseIsRecorded = recorded.has_value();
    out.base = recorded.value_or(installation.installed);
    out.ver = read.version;
    out.offer = OfferFor(read, installation.installed, installation.testMode,
                         !installation.keys.empty(), recorded);
    return out;
}

std::string Verdict(const Explanation& explanation, const Installation& installation)
{
    if (!explanation.trusted)
        return "nothing: the manifest is refused (" +
               (explanation.trace.empty() ? std::string("untrusted") : explanation.trace.back()) + ")";
    const Offer& offer = explanation.offer;
    if (!offer.newer)
        return "nothing: Ver " + explanation.ver + " is not above the base version " + explanation.base +
               (explanation.baseIsRecorded ? " (the recorded UpdateVersion)" : " (the installed one)");
    if (explanation.heldBack)
        return "nothing: held back by the rollout (Rollout " + explanation.offer.rollout.value_or("") +
               ", this installation's place " + std::to_string(explanation.place.value_or(0)) +
               "; places below the share take it)";
    if (explanation.alreadyPending)
        return "nothing: the same offer is already pending (HasUpdate " +
               std::to_string(installation.recordedHasUpdate) + ", UpdateVersion " +
               *installation.recorded + ", Silent " + std::to_string(installation.recordedSilent) + ")";
    return DescribeOffer(offer, installation.testMode);
}
