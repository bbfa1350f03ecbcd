#include "manifest_input.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "framework/handles.h"
#include "framework/path.h"
#include "shared/facts.h"
#include "tool_error.h"
#include "wide_paths.h"

namespace {

// Real manifests are a few kilobytes with a few packets. The private-profile
// functions look every key up from the start of the file, so reading grows
// with the square of the sections: these limits, and the module's own on
// bytes, keep the answer instant.
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

std::string ReadWhole(const std::string& shown)
{
    framework::FileHandle file(CreateFileW(Wide(shown).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw ToolError(shown + ": cannot be read: " + SystemMessage(GetLastError()));
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        throw ToolError(shown + ": cannot be read: " + SystemMessage(GetLastError()));
    if (static_cast<std::uint64_t>(size.QuadPart) > kMaxManifestBytes)
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
std::optional<size_t> FirstControlByte(const std::string& bytes)
{
    auto found = std::find_if(bytes.begin(), bytes.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r' && c != '\n';
    });
    if (found == bytes.end())
        return std::nullopt;
    return static_cast<size_t>(found - bytes.begin());
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9, with any extension, name devices,
// not files, wherever they stand.
bool NamesADevice(const std::string& path)
{
    size_t slash = path.find_last_of("\\/");
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    name = name.substr(0, name.find('.'));
    while (!name.empty() && (name.back() == ' ' || name.back() == ':'))
        name.pop_back();
    for (const char* device : {"CON", "PRN", "AUX", "NUL"})
        if (_stricmp(name.c_str(), device) == 0)
            return true;
    return name.size() == 4 && (_strnicmp(name.c_str(), "COM", 3) == 0 || _strnicmp(name.c_str(), "LPT", 3) == 0) &&
           name[3] >= '1' && name[3] <= '9';
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
    if (NamesADevice(argument))
        throw ToolError(argument + ": names a device, not a file (CON, PRN, AUX, NUL, COM1-9 and LPT1-9 "
                                   "are devices under any extension)");
    DWORD attributes = GetFileAttributesW(Wide(argument).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw ToolError(argument + ": is a folder, not a manifest");
    input.bytes = ReadWhole(argument);
    input.path = AnsiPathOf(argument);
    if (input.bytes.empty())
        throw ToolError(argument + ": is empty: no manifest (the module would offer nothing from it)");
    input.utf16 = HasUtf16Mark(input.bytes);
    if (!input.utf16)
        input.controlByte = FirstControlByte(input.bytes);
    RefuseWhatCostsTooMuch(input, argument);
    return input;
}

std::string ControlByteWarning(const ManifestInput& input)
{
    char byte[8];
    std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(input.bytes[*input.controlByte]));
    return std::string("holds the control byte ") + byte + " at byte " + std::to_string(*input.controlByte) +
           ": the module reads the file all the same, as explained here, but an editor or another "
           "reader may not";
}
