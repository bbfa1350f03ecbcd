#include "settings_key_store.h"

#include "framework/registry.h"

namespace {

constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;
constexpr DWORD kIniTextBuffer = 4096;

// The letter-hex form of the INI mode: two letters a byte, low half first.
std::string LetterHex(const BYTE* bytes, UINT count)
{
    std::string text;
    text.reserve(2 * static_cast<size_t>(count));
    for (UINT i = 0; i < count; ++i) {
        text += static_cast<char>('A' + (bytes[i] & 0x0F));
        text += static_cast<char>('A' + (bytes[i] >> 4));
    }
    return text;
}

std::vector<BYTE> FromLetterHex(const std::string& text)
{
    std::vector<BYTE> bytes(text.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned low = static_cast<unsigned char>(text[2 * i]) - 'A';
        unsigned high = static_cast<unsigned char>(text[2 * i + 1]) - 'A';
        bytes[i] = static_cast<BYTE>(low + 16 * high);
    }
    return bytes;
}

}  // namespace

void SettingsKeyStore::SetRegistryName(const char* name)
{
    registryName_.reset();
    if (name)
        registryName_ = name;
}

void SettingsKeyStore::SetIniPath(const char* path)
{
    iniPath_.reset();
    if (path)
        iniPath_ = path;
}

framework::RegKey SettingsKeyStore::OpenAppKey() const
{
    framework::RegKey software = framework::OpenRegKey(root_, "software", kAccess);
    if (!software || !registryName_)
        return {};
    return framework::CreateRegKey(software.get(), registryName_->c_str(), kAccess);
}

framework::RegKey SettingsKeyStore::OpenSectionKey(const char* section) const
{
    framework::RegKey app = OpenAppKey();
    if (!app)
        return {};
    return framework::CreateRegKey(app.get(), section, kAccess);
}

int SettingsKeyStore::ReadInt(const char* section, const char* entry, int fallback) const
{
    if (!registryMode())
        return static_cast<int>(GetPrivateProfileIntA(section, entry, fallback, iniPath()));
    framework::RegKey key = OpenSectionKey(section);
    if (!key)
        return fallback;
    int value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key.get(), entry, nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS)
        return fallback;
    return value;
}

std::string SettingsKeyStore::ReadString(const char* section, const char* entry,
                                         const char* fallback) const
{
    if (!fallback)
        fallback = "";
    if (!registryMode()) {
        std::string buffer(kIniTextBuffer, '\0');
        GetPrivateProfileStringA(section, entry, fallback, buffer.data(), kIniTextBuffer, iniPath());
        return buffer.c_str();
    }
    framework::RegKey key = OpenSectionKey(section);
    std::string value;
    if (!key || !framework::QueryRegString(key.get(), entry, value))
        return fallback;
    return value;
}

bool SettingsKeyStore::ReadBinary(const char* section, const char* entry,
                                  std::vector<BYTE>& bytes) const
{
    bytes.clear();
    if (!registryMode()) {
        std::string text = ReadString(section, entry, nullptr);
        if (text.empty())
            return false;
        bytes = FromLetterHex(text);
        return true;
    }
    framework::RegKey key = OpenSectionKey(section);
    if (!key)
        return false;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), entry, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return false;
    bytes.resize(size);
    if (RegQueryValueExA(key.get(), entry, nullptr, nullptr, bytes.data(), &size) != ERROR_SUCCESS) {
        bytes.clear();
        return false;
    }
    bytes.resize(size);
    return true;
}

bool SettingsKeyStore::WriteInt(const char* section, const char* entry, int value) const
{
    if (!registryMode()) {
        char text[16];
        wsprintfA(text, "%d", value);
        return WritePrivateProfileStringA(section, entry, text, iniPath()) != FALSE;
    }
    framework::RegKey key = OpenSectionKey(section);
    if (!key)
        return false;
    return RegSetValueExA(key.get(), entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value) == ERROR_SUCCESS;
}

bool SettingsKeyStore::WriteString(const char* section, const char* entry, const char* value) const
{
    if (!registryMode())
        return WritePrivateProfileStringA(section, entry, value, iniPath()) != FALSE;
    if (!entry) {
        framework::RegKey app = OpenAppKey();
        return app && RegDeleteKeyA(app.get(), section) == ERROR_SUCCESS;
    }
    framework::RegKey key = OpenSectionKey(section);
    if (!key)
        return false;
    if (!value)
        return RegDeleteValueA(key.get(), entry) == ERROR_SUCCESS;
    return RegSetValueExA(key.get(), entry, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          static_cast<DWORD>(lstrlenA(value) + 1)) == ERROR_SUCCESS;
}

bool SettingsKeyStore::WriteBinary(const char* section, const char* entry, const BYTE* bytes,
                                   UINT count) const
{
    if (!registryMode())
        return WriteString(section, entry, LetterHex(bytes, count).c_str());
    framework::RegKey key = OpenSectionKey(section);
    if (!key)
        return false;
    return RegSetValueExA(key.get(), entry, 0, REG_BINARY, bytes, count) == ERROR_SUCCESS;
}
