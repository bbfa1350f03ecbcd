// One update run, from the call of the export to the hand-off: the order of
// a run, written once. The run decides; the wizard's pages only show it,
// fetch what it names and hand each file back to it, on the caller's thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "framework/trace_log.h"
#include "run_parameters.h"
#include "run_view.h"
#include "startup/module_context.h"
#include "step_outcome.h"
#include "transfer/package_pin.h"

// One file a step of the run fetches into the download folder.
struct Fetch {
    std::string url;
    std::string fileName;
    PackagePin pin;
    std::uint64_t maxLength;  // a body declared longer fails the transfer
    bool resumable;           // a cut body is kept for the next run
};

class UpdateRun : public RunParameters {
public:
    explicit UpdateRun(const ModuleContext& context) : context_(context) {}

    // The whole run on the caller's thread: sweep, the run's start, the view
    // (whose pages take the steps below), and the hand-off. The log is the
    // caller's, so that it takes every line of the call.
    void Run(const char* commandLine, framework::TraceLog& log, RunView& view);

    // The steps the pages take, in the order of a run.
    Fetch ManifestToFetch();
    StepOutcome ManifestFetched(const std::optional<std::string>& manifestPath);
    Fetch PackageToFetch();
    StepOutcome PackageFetched(const std::optional<std::string>& packagePath);

    const Language& language() const { return context_.language; }

private:
    bool Start(const char* commandLine, framework::TraceLog& log);
    StepOutcome Decide(const std::string& manifestPath);

    const ModuleContext& context_;
    std::string channel_;  // the manifest path asked for, which a signed manifest names
    std::vector<std::string> packageUrls_;  // alternatives for one package
};
