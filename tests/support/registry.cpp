#include "registry.h"

#include <cstring>
#include <stdexcept>

#include <gtest/gtest.h>

#include "framework/handles.h"

void DeleteRegTree(HKEY root, const std::string& path) { RegDeleteTreeA(root, path.c_str()); }

bool RegKeyExists(HKEY root, const std::string& path)
{
    framework::RegKey key;
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::string RegValue::text() const
{
    std::string s(data.begin(), data.end());
    return s.substr(0, s.find('\0'));
}

DWORD RegValue::dword() const
{
    DWORD value = 0;
    if (data.size() >= sizeof value)
        memcpy(&value, data.data(), sizeof value);
    return value;
}

std::optional<RegValue> ReadRegValue(HKEY root, const std::string& path, const char* name)
{
    framework::RegKey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    RegValue value;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    if (RegQueryValueExA(key.get(), name, nullptr, &value.type, value.data.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    return value;
}

namespace {
void SetValue(HKEY root, const std::string& path, const char* name, DWORD type, const void* data,
              DWORD size)
{
    framework::RegKey key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS ||
        RegSetValueExA(key.get(), name, 0, type, static_cast<const BYTE*>(data), size) !=
            ERROR_SUCCESS)
        throw std::runtime_error("cannot write registry value " + path);
}
}  // namespace

void WriteRegString(HKEY root, const std::string& path, const char* name, const std::string& value)
{
    SetValue(root, path, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

void WriteRegDword(HKEY root, const std::string& path, const char* name, DWORD value)
{
    SetValue(root, path, name, REG_DWORD, &value, sizeof value);
}

void DeleteRegValue(HKEY root, const std::string& path, const char* name)
{
    framework::RegKey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, key.put()) == ERROR_SUCCESS)
        RegDeleteValueA(key.get(), name);
}

SavedRegValue::SavedRegValue(HKEY root, std::string path, const char* name)
    : root_(root), path_(std::move(path)), name_(name ? name : ""),
      saved_(ReadRegValue(root_, path_, name))
{
}

SavedRegValue::~SavedRegValue()
{
    const char* name = name_.empty() ? nullptr : name_.c_str();
    try {
        if (saved_)
            SetValue(root_, path_, name, saved_->type, saved_->data.data(),
                     static_cast<DWORD>(saved_->data.size()));
        else
            DeleteRegValue(root_, path_, name);
    } catch (const std::exception&) {
        ADD_FAILURE() << "cannot restore registry value " << path_;
    }
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name)
{
    char buffer[32768];
    DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    if (n > 0 && n < sizeof buffer)
        saved_ = std::string(buffer, n);
    SetEnvironmentVariableA(name, value);
}

ScopedEnv::~ScopedEnv() { SetEnvironmentVariableA(name_.c_str(), saved_ ? saved_->c_str() : nullptr); }
