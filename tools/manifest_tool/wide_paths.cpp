#include "wide_paths.h"

#include "framework/win.h"

#include <shellapi.h>

#include "framework/path.h"
#include "tool_error.h"

namespace {

// The copies made for names the code page cannot hold.
class TemporaryCopies {
public:
    ~TemporaryCopies()
    {
        for (const std::string& path : paths_)
            DeleteFileA(path.c_str());
    }
    void Add(const std::string& path) { paths_.push_back(path); }

private:
    std::vector<std::string> paths_;
};
TemporaryCopies copies;

// The text in the ANSI code page, or nothing when the code page cannot
// hold it: a best-fit character would name another file.
std::string Ansi(const std::wstring& wide)
{
    BOOL lost = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0, nullptr, &lost);
    if (n <= 0 || lost)
        return "";
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, text.data(), n, nullptr, &lost);
    text.resize(static_cast<size_t>(n) - 1);
    wchar_t back[MAX_PATH];
    int m = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.c_str(), -1, back, MAX_PATH);
    return !lost && m > 0 && wide == back ? text : "";
}

}  // namespace

std::wstring Wide(const std::string& utf8)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    if (n <= 0)
        return L"";
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), n);
    wide.resize(static_cast<size_t>(n) - 1);
    return wide;
}

std::string Utf8(const std::wstring& wide)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return "";
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, text.data(), n, nullptr, nullptr);
    text.resize(static_cast<size_t>(n) - 1);
    return text;
}

std::vector<std::string> Utf8Arguments()
{
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        throw ToolError("cannot read the command line");
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(Utf8(wide[i]));
    LocalFree(wide);
    return arguments;
}

std::string AnsiPathOf(const std::string& utf8Path)
{
    std::wstring wide = Wide(utf8Path);
    wchar_t full[MAX_PATH];
    DWORD n = GetFullPathNameW(wide.c_str(), MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH)
        throw ToolError(utf8Path + ": not a path the tool can open");
    std::string ansi = Ansi(full);
    if (!ansi.empty())
        return ansi;
    char copy[MAX_PATH];
    std::string folder = framework::TempFolder();
    if (folder.empty() || !GetTempFileNameA(folder.c_str(), "vmn", 0, copy))
        throw ToolError("cannot make a temporary file");
    copies.Add(copy);
    if (!CopyFileW(full, Wide(copy).c_str(), FALSE))
        throw ToolError(utf8Path + ": cannot be read");
    return copy;
}
