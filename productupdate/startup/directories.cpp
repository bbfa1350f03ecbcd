#include "directories.h"

#include <direct.h>
#include <io.h>

#include <optional>

#include "framework/app.h"
#include "framework/path.h"
#include "framework/registry.h"
#include "module_context.h"

namespace {

const char kComponentServerKey[] =
    "CLSID\\{6D2B8E41-7F3A-4C95-A1E6-0B5C9D2F4A73}\\InprocServer32";
const char kComponentFile[] = "OrlithEWA.OCX";
const char kCommonComponentPath[] = "Orlith\\Quenby\\OrlithEWA.OCX";
const char kProductFolder[] = "Velnor";

// A registry value as text; nothing when the key or the value cannot be
// read. Read access suffices: all access would be refused to a user without
// administrator rights, whose start-up would then miss what is there.
std::optional<std::string> RegistryText(HKEY root, const char* path, const char* name)
{
    framework::RegKey key = framework::OpenRegKey(root, path, KEY_READ);
    std::string text;
    if (!key || !framework::QueryRegString(key.get(), name, text))
        return std::nullopt;
    return text;
}

// The path when it is a full one. An empty or relative path counts as none:
// it would name a place under whatever the host's current folder is.
std::optional<std::string> Absolute(std::optional<std::string> path)
{
    if (path && framework::IsAbsolutePath(*path))
        return path;
    return std::nullopt;
}

// The full folder of a file's path, if it has one.
std::optional<std::string> FolderOf(const std::optional<std::string>& file)
{
    return file ? Absolute(framework::RemoveFileSpec(*file)) : std::nullopt;
}

// The component in the system's common-files folder, if that folder is known.
std::optional<std::string> CommonFilesComponentPath()
{
    std::optional<std::string> path = RegistryText(
        HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir");
    if (!path || !framework::AppendPath(*path, kCommonComponentPath))
        return std::nullopt;
    return path;
}

// In order of preference: the folder of the registered component server, the
// module's own folder when the component lies there, the component's folder
// under the common files, and the module's own folder. A source whose folder
// is not a full path is passed over, or common.dll and config.ini would be
// looked for through the search order.
std::string FindInstallDirectory()
{
    if (auto folder = FolderOf(RegistryText(HKEY_CLASSES_ROOT, kComponentServerKey, nullptr)))
        return *folder;
    std::string moduleFolder =
        framework::RemoveFileSpec(framework::ModuleFileName(framework::ModuleInstance()));
    std::string besideModule = moduleFolder;
    if (framework::AppendPath(besideModule, kComponentFile) && PathFileExistsA(besideModule.c_str()))
        return moduleFolder;
    return FolderOf(CommonFilesComponentPath()).value_or(moduleFolder);
}

bool IsAccessibleDirectory(const std::string& path)
{
    return PathIsDirectoryA(path.c_str()) && _access(path.c_str(), 0) == 0;
}

std::optional<std::string> EnvironmentValue(const char* name)
{
    DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0)
        return std::nullopt;
    std::string value(size, '\0');
    DWORD n = GetEnvironmentVariableA(name, value.data(), size);
    if (n >= size)
        return std::nullopt;  // it changed in between
    value.resize(n);
    return value;
}

// The base of the all-users data folder, from the first source that answers
// with a full path.
std::optional<std::string> CommonDataFolder()
{
    if (auto folder = Absolute(RegistryText(
            HKEY_LOCAL_MACHINE,
            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
            "Common AppData")))
        return folder;

    char buffer[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, buffer) >= 0) {
        if (auto folder = Absolute(std::string(buffer)))
            return folder;
    }

    if (auto profile = Absolute(EnvironmentValue("ALLUSERSPROFILE"))) {
        if (!framework::AppendPath(*profile, "Application Data"))
            return std::nullopt;
        return profile;
    }
    return Absolute(EnvironmentValue("ProgramFiles"));
}

}  // namespace

std::string GetInstallDirectory(ModuleContext& context)
{
    std::string& cache = context.installDirectory;
    if (cache.empty())
        cache = FindInstallDirectory();
    return cache;
}

void ResolveUserDirectories(ModuleContext& context)
{
    context.hostDirectory = framework::RemoveFileSpec(framework::ModuleFileName(nullptr));
    context.userDataDirectory.clear();

    std::optional<std::string> appData =
        Absolute(RegistryText(HKEY_CURRENT_USER, "Volatile Environment", "APPDATA"));
    if (appData && IsAccessibleDirectory(*appData) &&
        framework::AppendPath(*appData, kProductFolder)) {
        CreateDirectoryA(appData->c_str(), nullptr);
        context.userDataDirectory = *appData;
    }
    if (context.userDataDirectory.empty())
        context.userDataDirectory = context.hostDirectory;
}

int ResolveDataDirectory(std::string& directory)
{
    std::optional<std::string> folder = CommonDataFolder();
    if (!folder || !framework::AppendPath(*folder, kProductFolder))
        return 0;
    if (!PathFileExistsA(folder->c_str()))
        _mkdir(folder->c_str());
    directory = *folder;
    return 1;
}
