// Registry helpers for tests: values set for one test and put back afterwards.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "framework/win.h"

void DeleteRegTree(HKEY root, const std::string& path);
bool RegKeyExists(HKEY root, const std::string& path);

struct RegValue {
    DWORD type = 0;
    std::vector<BYTE> data;
    std::string text() const;   // REG_SZ data up to its terminating zero
    DWORD dword() const;
};
std::optional<RegValue> ReadRegValue(HKEY root, const std::string& path, const char* name);
void WriteRegString(HKEY root, const std::string& path, const char* name, const std::string& value);
void WriteRegDword(HKEY root, const std::string& path, const char* name, DWORD value);
void DeleteRegValue(HKEY root, const std::string& path, const char* name);

// Saves a value (or its absence) and restores it when the test ends; a test
// program that ends before that has it restored by the next one.
class SavedRegValue {
public:
    SavedRegValue(HKEY root, std::string path, const char* name);
    ~SavedRegValue();
    SavedRegValue(const SavedRegValue&) = delete;
    SavedRegValue& operator=(const SavedRegValue&) = delete;

private:
    HKEY root_;
    std::string path_;
    std::string name_;
    std::optional<RegValue> saved_;
};

// Puts back the values that an earlier test program changed and could not
// restore because it crashed; every test program calls it first.
void RestoreValuesLeftChanged();

// Sets an environment variable (null: removes it) and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> saved_;
};
