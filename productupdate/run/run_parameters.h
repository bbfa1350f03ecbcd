// The parameters of one update run: filled from the switches and the
// installation before the wizard runs, read and filled by the run's steps
// during it. The run holds them.
#pragma once

#include <string>

#include "framework/handles.h"
#include "transfer/package_pin.h"

struct RunParameters {
    int startHidden = 1;    // 1: no window is shown; the run starts at the query page
    int interactive = 0;    // 1: a run the user asked for; "no update" is then shown
    int testMode = 0;       // nonzero: test names, test manifest, the package is started
    std::string installedVersion;
    std::string iniFilePath;          // VLNR.INI in the data directory
    std::string manifestUrlOverride;  // the URL switch; empty: the update server's
    framework::Handle instanceMutex;  // the mode's mutex; closed with the frame's window
    std::string offeredVersion;       // the manifest's version, once it passed the version step
    PackagePin packagePin;            // what the manifest pins of the offered package
    int forceUpdate = 0;
    int silentUpdate = 1;
    int runFinished = 0;  // the run reached an end: Cancel skips the page's cancel hook
};
