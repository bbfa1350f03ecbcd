// The pending-update record under Software\Velnor\Update: what the product
// reads at its next start to find the package that waits for it.
#pragma once

#include <string>

#include "settings/settings_key_store.h"

struct UpdateRecord {
    std::string version;  // the offered version
    std::string path;     // the copied package
    int force = 0;
    int silent = 1;
};

// Writes the record through a registry-mode store, "HasUpdate" first. When
// any write fails, "HasUpdate" is removed again: a record is whole or absent.
void WriteUpdateRecord(const SettingsKeyStore& store, const UpdateRecord& record);
