#include "path.h"

#include <cstring>
#include <vector>

namespace framework {

std::string ModuleFileName(HMODULE module)
{
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameA(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size())
            return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

std::string RemoveFileSpec(const std::string& path)
{
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    PathRemoveFileSpecA(buffer.data());
    return buffer.data();
}

namespace {
bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}
bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
}  // namespace

bool IsAbsolutePath(const std::string& path)
{
    if (path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == ':' && IsSeparator(path[2]))
        return true;
    if (path.size() < 5 || !IsSeparator(path[0]) || !IsSeparator(path[1]) || IsSeparator(path[2]))
        return false;
    // "\\server\share": a server name, a separator, and a share name after it.
    size_t separator = path.find_first_of("\\/", 2);
    return separator != std::string::npos && separator + 1 < path.size() &&
           !IsSeparator(path[separator + 1]);
}

bool AppendPath(std::string& path, const char* more)
{
    if (path.size() >= MAX_PATH)
        return false;
    char buffer[MAX_PATH];
    lstrcpynA(buffer, path.c_str(), MAX_PATH);
    if (!PathAppendA(buffer, more))
        return false;
    path = buffer;
    return true;
}

std::string TempFolder()
{
    char buffer[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, buffer);
    if (n == 0 || n >= MAX_PATH)
        return {};
    return std::string(buffer, n);
}

std::string ReadProfileString(const char* section, const char* key, const char* fallback,
                              const std::string& file)
{
    std::vector<char> buffer(512);
    for (;;) {
        DWORD n = GetPrivateProfileStringA(section, key, fallback, buffer.data(),
                                           static_cast<DWORD>(buffer.size()), file.c_str());
        // A result of size - 1 means the text may have been cut: try a larger buffer.
        if (n + 1 < buffer.size() || buffer.size() >= (1u << 20))
            return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 4);
    }
}

namespace {

// A double-zero-terminated list of the private-profile functions, read whole.
template <typename Read>
std::vector<std::string> ReadNameList(Read read)
{
    std::vector<char> buffer(4096);
    for (;;) {
        DWORD n = read(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n + 2 < buffer.size() || buffer.size() >= (64u << 20)) {
            std::vector<std::string> names;
            for (const char* p = buffer.data(); p < buffer.data() + n && *p; p += strlen(p) + 1)
                names.emplace_back(p);
            return names;
        }
        buffer.resize(buffer.size() * 4);
    }
}

}  // namespace

std::vector<std::string> ReadProfileSectionNames(const std::string& file)
{
    return ReadNameList([&](char* buffer, DWORD size) {
        return GetPrivateProfileSectionNamesA(buffer, size, file.c_str());
    });
}

std::vector<std::string> ReadProfileKeyNames(const std::string& section, const std::string& file)
{
    return ReadNameList([&](char* buffer, DWORD size) {
        return GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer, size, file.c_str());
    });
}

}  // namespace framework
