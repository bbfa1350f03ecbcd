#include "manifest_input.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "framework/handles.h"
#include "framework/path.h"
#include "tool_error.h"

namespace {

// Real manifests are a few kilobytes with a few packets. The private-profile
// functions look every key up from the start of the file, so reading grows
// with the square of the sections: these limits keep the answer instant.
constexpr DWORD kMaxBytes = 1u << 20;
constexpr size_t kMaxSections = 256;
constexpr size_t kMaxKeysPerSection = 256;

std::string SystemMessage(DWORD error)
{
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n ? std::string(text, n) : "error " + std::to_string(error);
    LocalFree(text);
    while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back())))
        message.pop_back();
    return message;
}

std::string FullPath(const std::string& argument)
{
    char buffer[MAX_PATH];
    DWORD n = GetFullPathNameA(argument.c_str(), MAX_PATH, buffer, nullptr);
    if (n == 0 || n >= MAX_PATH)
        throw ToolError(argument + ": not a path the tool can open");
    return buffer;
}

std::string ReadWhole(const std::string& path, const std::string& shown)
{
    framework::FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw ToolError(shown + ": cannot be read: " + SystemMessage(GetLastError()));
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        throw ToolError(shown + ": cannot be read: " + SystemMessage(GetLastError()));
    if (size.QuadPart > kMaxBytes)
        throw ToolError(shown + ": " + std::to_string(size.QuadPart) +
                        " bytes is no manifest (the tool reads up to 1 MiB; real ones are a few KB)");
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read,
                                     nullptr) ||
                           read != bytes.size()))
        throw ToolError(shown + ": cannot be read: " + SystemMessage(GetLastError()));
    return bytes;
}

bool HasUtf16Mark(const std::string& bytes)
{
    return bytes.size() >= 2 && ((bytes[0] == '\xff' && bytes[1] == '\xfe') ||
                                 (bytes[0] == '\xfe' && bytes[1] == '\xff'));
}

// INI text holds no control characters but tabs and line ends.
bool LooksLikeText(const std::string& bytes)
{
    return std::none_of(bytes.begin(), bytes.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r' && c != '\n';
    });
}

void RefuseWhatCostsTooMuch(const ManifestInput& input, const std::string& shown)
{
    std::vector<std::string> sections = framework::ReadProfileSectionNames(input.path);
    if (sections.size() > kMaxSections)
        throw ToolError(shown + ": " + std::to_string(sections.size()) +
                        " sections is no manifest (the tool examines up to 256)");
    for (const std::string& section : sections) {
        if (framework::ReadProfileKeyNames(section, input.path).size() > kMaxKeysPerSection)
            throw ToolError(shown + ": [" + section +
                            "] has more than 256 keys, which is no manifest");
    }
}

}  // namespace

ManifestInput LoadManifest(const std::string& argument)
{
    ManifestInput input;
    input.path = FullPath(argument);
    input.bytes = ReadWhole(input.path, argument);
    input.utf16 = HasUtf16Mark(input.bytes);
    if (!input.utf16 && !LooksLikeText(input.bytes))
        throw ToolError(argument + ": a binary file, not an INI manifest");
    RefuseWhatCostsTooMuch(input, argument);
    return input;
}
