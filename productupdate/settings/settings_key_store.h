// A value store addressed by section and entry, over a per-user registry key
// (<root>\software\<name>\<section>) or an INI file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "framework/handles.h"

class SettingsKeyStore {
public:
    SettingsKeyStore() = default;
    virtual ~SettingsKeyStore() = default;
    // Short-lived and never shared: copying has no use.
    SettingsKeyStore(const SettingsKeyStore&) = delete;
    SettingsKeyStore& operator=(const SettingsKeyStore&) = delete;

    // A name switches the store to registry mode, whatever the INI path says.
    void SetRegistryName(const char* name);
    void SetIniPath(const char* path);

    // Opened or created keys; empty on failure.
    framework::RegKey OpenAppKey() const;
    framework::RegKey OpenSectionKey(const char* section) const;

    int ReadInt(const char* section, const char* entry, int fallback) const;
    std::string ReadString(const char* section, const char* entry, const char* fallback) const;
    bool ReadBinary(const char* section, const char* entry, std::vector<BYTE>& bytes) const;

    // Virtual so that a test can fail a chosen write of a real store.
    virtual bool WriteInt(const char* section, const char* entry, int value) const;
    // A null entry deletes the section, a null value the entry.
    virtual bool WriteString(const char* section, const char* entry, const char* value) const;
    bool WriteBinary(const char* section, const char* entry, const BYTE* bytes, UINT count) const;

private:
    bool registryMode() const { return registryName_.has_value(); }
    const char* iniPath() const { return iniPath_ ? iniPath_->c_str() : nullptr; }

    HKEY root_ = HKEY_CURRENT_USER;
    std::optional<std::string> registryName_;
    std::optional<std::string> iniPath_;
};
