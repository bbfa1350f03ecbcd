#include "update_app.h"

#include "companions/common/language_resource.h"
#include "directories.h"
#include "framework/path.h"
#include "i18n/language.h"
#include "framework/app.h"
#include "settings/settings_key_store.h"
#include "signing/manifest_trust.h"

namespace {

// The language id of config.ini in the install folder, 2052 without one. The
// INI functions take a bare or relative name as a file in the Windows folder
// or the current folder: without a full folder there is no file to read.
int ReadLanguageId(const std::string& installDirectory)
{
    const int kDefaultLanguage = 2052;
    std::string configPath = installDirectory;
    if (!framework::IsAbsolutePath(configPath) || !framework::AppendPath(configPath, "config.ini"))
        return kDefaultLanguage;
    SettingsKeyStore config;
    config.SetIniPath(configPath.c_str());
    return config.ReadInt("Other_Param", "LanguageID", kDefaultLanguage);
}

}  // namespace

void StartModule(ModuleContext& context)
{
    context.updateKeys = LoadUpdateKeys(framework::ModuleInstance());
    context.updateKeyUnreadable = HasUnreadableUpdateKey(framework::ModuleInstance());
    std::string installDirectory = GetInstallDirectory(context);

    context.language.resource = LoadLanguageLibrary(installDirectory.c_str());
    if (context.language.resource)
        context.language.resource->Initialize();

    context.language.id = ReadLanguageId(installDirectory);

    ResolveUserDirectories(context);
}

BOOL UpdateApp::InitInstance()
{
    StartModule(context);
    return App::InitInstance();
}

UpdateApp theApp;
