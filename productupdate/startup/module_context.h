// What a run needs of the module: its folders, its language and the
// publisher's keys. The start-up fills one for the life of the module and
// each run is handed it; a test or a tool builds its own.
#pragma once

#include <string>
#include <vector>

#include "framework/crypto.h"
#include "i18n/language.h"

#include "framework/win.h"

struct ModuleContext {
    std::string hostDirectory;      // folder of the host process's program
    std::string userDataDirectory;  // "Velnor" in the user's application data, or the host directory
    std::string installDirectory;   // cache of GetInstallDirectory
    Language language;              // the wizard's texts
    std::vector<framework::EcPoint> updateKeys;  // the publisher's keys; empty: the network is trusted
    bool updateKeyUnreadable = false;            // a key resource that does not read: trust nothing
};
