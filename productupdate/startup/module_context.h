// The module-wide values: paths and settings of the module, set at start-up
// and by each run, kept for the life of the module.
#pragma once

#include <string>
#include <vector>

#include "framework/crypto.h"

#include "framework/win.h"

struct LanguageResource;

struct ModuleState {
    std::string hostDirectory;      // folder of the host process's program
    std::string userDataDirectory;  // "Velnor" in the user's application data, or the host directory
    std::string installDirectory;   // cache of GetInstallDirectory
    int LanguageId = 2052;
    HMODULE languageLibrary = nullptr;  // common.dll, never freed
    LanguageResource* languageResource = nullptr;
    std::string iniFilePath;          // VLNR.INI in the data directory, set by each run
    std::string manifestUrlOverride;  // the run's URL switch
    std::vector<framework::EcPoint> updateKeys;  // the publisher's keys; empty: the network is trusted
    bool updateKeyUnreadable = false;            // a key resource that does not read: trust nothing
};

ModuleState& Module();
