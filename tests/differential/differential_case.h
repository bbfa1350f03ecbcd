// One input of the differential test: a manifest as the update server serves
// it and the installation that fetches it, printable so that a disagreement
// can be reproduced by hand.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "framework/win.h"

// The update record under HKCU\Software\Velnor\Update before the run.
struct PendingRecord {
    DWORD hasUpdate = 1;
    std::string version;  // UpdateVersion
    DWORD silent = 1;
};

struct DiffInstallation {
    std::string company;    // of VLNR.INI; empty: none written, the module takes "self"
    std::string installed;  // VLNR.INI [Version] packet, or in test mode VLNRTEST.VLT Version
    bool testMode = false;  // the host runs with /T 1
    bool keyed = false;     // the module embeds the test key (signing/key-public.pem)
    std::optional<PendingRecord> record;
    std::optional<std::uint64_t> acceptedSerial;  // ManifestSerials value of the channel
    std::uint64_t draw = 0;                       // RolloutDraw

    // The path the installation fetches its manifest at.
    std::string Channel() const;
    std::string DrawText() const;  // 16 hex digits
};

struct DiffCase {
    unsigned seed = 0;
    int index = 0;
    std::string manifest;  // the bytes served
    DiffInstallation installation;
    std::set<std::string> features;  // what the generator put in, by name

    // The manifest (bytes other than printable ASCII as \xNN, one line a line)
    // and the installation, as a person sets them up again.
    std::string Describe() const;
};

class ManifestSigner;
// A case written by hand, to run one disagreement again: FOLDER\manifest.ini
// as served, and FOLDER\installation.ini with [Installation] installed=,
// company=, test=0|1, keyed=0|1, sign=0|1 (signs manifest.ini with the test
// key first), serial= (the accepted one), draw= (16 hex digits), and for a
// record hasUpdate=, version=, silent=. Absent keys: no company, no record.
DiffCase ReadCase(const std::string& folder, const ManifestSigner& key);
