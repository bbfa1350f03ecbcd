// Real runs of the shipped module: updatehost.exe with productupdate.dll and
// its companions laid out as the product installs them (one copy without a
// key and one that embeds the test key), against the scripted server, which
// answers for the update server's host through the user's proxy.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "differential_case.h"
#include "support/debug_capture.h"
#include "support/http_test_server.h"
#include "support/registry.h"
#include "support/temp_folder.h"

// What a run left behind.
struct ModuleOutcome {
    bool manifestRequested = false;
    std::vector<std::string> packageRequests;  // request targets other than the manifest
    // The update record afterwards; recorded: this run wrote one (UpdatePath is set).
    std::optional<DWORD> hasUpdate;
    std::optional<std::string> updateVersion;
    std::optional<DWORD> force, silent;
    bool recorded = false;
    bool copied = false;   // the package lies in VLNRUpdate\VLNRUpdate.exe
    bool started = false;  // test mode: the package was started with /Velnor
    std::vector<std::string> trace;
};

class InstalledModule {
public:
    InstalledModule();  // lays out both installations; throws when the keyed copy cannot be made
    ~InstalledModule();

    // The package every http URL serves, and what it is pinned with.
    const std::string& package() const { return package_; }

    // One whole hidden run (test mode: /T 1) of the installation against the manifest.
    ModuleOutcome Run(const DiffCase& c);

    // The request target a proxied request for this URL has, when the module fetches it.
    static std::optional<std::string> ProxyTarget(const std::string& url);

private:
    void Prepare(const DiffCase& c);
    std::vector<std::string> DrainedTrace(DWORD processId);

    SavedRegValue commonAppData_, userAppData_, proxyEnable_, proxyServer_;
    HttpTestServer server_;
    DebugCapture capture_;
    TempFolder plain_, keyed_, common_, appData_;
    std::string package_;
};
