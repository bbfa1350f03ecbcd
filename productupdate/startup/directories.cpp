#include "directories.h"

#include <direct.h>
#include <io.h>

#include <cstdlib>

#include "framework/app.h"
#include "framework/path.h"
#include "framework/registry.h"
#include "module_state.h"

namespace {

const char kComponentServerKey[] =
    "CLSID\\{6D2B8E41-7F3A-4C95-A1E6-0B5C9D2F4A73}\\InprocServer32";
const char kComponentFile[] = "OrlithEWA.OCX";
const char kCommonComponentPath[] = "Orlith\\Quenby\\OrlithEWA.OCX";
const char kProductFolder[] = "Velnor";

// The registered path of the component's server file; empty when not registered.
std::string RegisteredComponentPath()
{
    std::string path;
    // Read access suffices; all access would be refused to a user without
    // administrator rights, whose start-up would then miss a registered component.
    framework::RegKey key = framework::OpenRegKey(HKEY_CLASSES_ROOT, kComponentServerKey, KEY_READ);
    if (key)
        framework::QueryRegString(key.get(), nullptr, path);
    return path;
}

// The component in the system's common-files folder; empty when that folder
// is not known.
std::string CommonFilesComponentPath()
{
    std::string path;
    framework::RegKey key = framework::OpenRegKey(
        HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", KEY_READ);
    if (!key || !framework::QueryRegString(key.get(), "CommonFilesDir", path) ||
        !framework::AppendPath(path, kCommonComponentPath))
        return {};
    return path;
}

// In order of preference: the folder of the registered component server, the
// module's own folder when the component lies there, the component's folder
// under the common files, and the module's own folder. A source whose folder
// is empty or relative is passed over: it would name a folder under whatever
// the host's current folder is, and common.dll and config.ini would be looked
// for through the search order.
std::string FindInstallDirectory()
{
    std::string folder = framework::RemoveFileSpec(RegisteredComponentPath());
    if (framework::IsAbsolutePath(folder))
        return folder;
    std::string moduleFolder =
        framework::RemoveFileSpec(framework::ModuleFileName(framework::ModuleInstance()));
    std::string besideModule = moduleFolder;
    if (framework::AppendPath(besideModule, kComponentFile) && PathFileExistsA(besideModule.c_str()))
        return moduleFolder;
    folder = framework::RemoveFileSpec(CommonFilesComponentPath());
    return framework::IsAbsolutePath(folder) ? folder : moduleFolder;
}

bool IsAccessibleDirectory(const std::string& path)
{
    return PathIsDirectoryA(path.c_str()) && _access(path.c_str(), 0) == 0;
}

std::string EnvironmentValue(const char* name)
{
    DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0)
        return {};
    std::string value(size, '\0');
    DWORD n = GetEnvironmentVariableA(name, value.data(), size);
    value.resize(n < size ? n : 0);
    return value;
}

// The base of the all-users data folder, from the first source that answers
// with a full path. An empty or relative answer counts as none: it would put
// the data folder under the host's current folder.
bool CommonDataFolder(std::string& folder)
{
    framework::RegKey key = framework::OpenRegKey(
        HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
        KEY_READ);
    if (key && framework::QueryRegString(key.get(), "Common AppData", folder) &&
        framework::IsAbsolutePath(folder))
        return true;

    char buffer[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, buffer) >= 0 &&
        framework::IsAbsolutePath(buffer)) {
        folder = buffer;
        return true;
    }

    folder = EnvironmentValue("ALLUSERSPROFILE");
    if (framework::IsAbsolutePath(folder))
        return framework::AppendPath(folder, "Application Data");
    folder = EnvironmentValue("ProgramFiles");
    return framework::IsAbsolutePath(folder);
}

}  // namespace

std::string GetInstallDirectory()
{
    std::string& cache = Module().installDirectory;
    if (cache.empty())
        cache = FindInstallDirectory();
    return cache;
}

void ResolveUserDirectories()
{
    ModuleState& module = Module();
    module.hostDirectory = framework::RemoveFileSpec(framework::ModuleFileName(nullptr));
    module.userDataDirectory.clear();

    framework::RegKey key =
        framework::OpenRegKey(HKEY_CURRENT_USER, "Volatile Environment", KEY_READ);
    std::string appData;
    if (key && framework::QueryRegString(key.get(), "APPDATA", appData) &&
        framework::IsAbsolutePath(appData) && IsAccessibleDirectory(appData) &&
        framework::AppendPath(appData, kProductFolder)) {
        CreateDirectoryA(appData.c_str(), nullptr);
        module.userDataDirectory = appData;
    }
    if (module.userDataDirectory.empty())
        module.userDataDirectory = module.hostDirectory;
}

int ResolveDataDirectory(std::string& directory)
{
    std::string folder;
    if (!CommonDataFolder(folder) || !framework::AppendPath(folder, kProductFolder))
        return 0;
    if (!PathFileExistsA(folder.c_str()))
        _mkdir(folder.c_str());
    directory = folder;
    return 1;
}
