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

namespace {

// Values a test changed are noted here until they are put back, so that a
// test program that crashed midway cannot leave the prefix changed for the
// programs after it: each program puts back what its predecessor left.
const char kJournal[] = "Software\\VelnorTests\\ChangedValues";

std::string JournalEntry(HKEY root, const std::string& path, const std::string& name)
{
    return std::to_string(reinterpret_cast<ULONG_PTR>(root)) + "|" + path + "|" + name;
}

// The saved value as one blob: a flag for "was there", its type, its bytes.
std::string Encode(const std::optional<RegValue>& value)
{
    std::string blob(1, value ? '1' : '0');
    if (value) {
        blob.append(reinterpret_cast<const char*>(&value->type), sizeof value->type);
        blob.append(value->data.begin(), value->data.end());
    }
    return blob;
}

void Restore(HKEY root, const std::string& path, const std::string& name, const std::string& blob)
{
    const char* valueName = name.empty() ? nullptr : name.c_str();
    if (blob.size() < 1 + sizeof(DWORD) || blob[0] != '1') {
        DeleteRegValue(root, path, valueName);
        return;
    }
    DWORD type;
    memcpy(&type, blob.data() + 1, sizeof type);
    SetValue(root, path, valueName, type, blob.data() + 1 + sizeof type,
             static_cast<DWORD>(blob.size() - 1 - sizeof type));
}

}  // namespace

void RestoreValuesLeftChanged()
{
    framework::RegKey journal;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kJournal, 0, KEY_READ, journal.put()) != ERROR_SUCCESS)
        return;
    char entry[2048];
    BYTE data[65536];
    for (DWORD index = 0;; ++index) {
        DWORD entrySize = sizeof entry, dataSize = sizeof data;
        if (RegEnumValueA(journal.get(), index, entry, &entrySize, nullptr, nullptr, data,
                          &dataSize) != ERROR_SUCCESS)
            break;
        std::string key = entry;
        size_t first = key.find('|'), second = key.find('|', first + 1);
        HKEY root = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(std::stoull(key.substr(0, first))));
        Restore(root, key.substr(first + 1, second - first - 1), key.substr(second + 1),
                std::string(reinterpret_cast<char*>(data), dataSize));
    }
    journal.reset();
    DeleteRegTree(HKEY_CURRENT_USER, kJournal);
}

SavedRegValue::SavedRegValue(HKEY root, std::string path, const char* name)
    : root_(root), path_(std::move(path)), name_(name ? name : ""),
      saved_(ReadRegValue(root_, path_, name))
{
    std::string blob = Encode(saved_);
    SetValue(HKEY_CURRENT_USER, kJournal, JournalEntry(root_, path_, name_).c_str(), REG_BINARY,
             blob.data(), static_cast<DWORD>(blob.size()));
}

SavedRegValue::~SavedRegValue()
{
    try {
        Restore(root_, path_, name_, Encode(saved_));
        DeleteRegValue(HKEY_CURRENT_USER, kJournal, JournalEntry(root_, path_, name_).c_str());
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
