#include "update_app.h"

#include "companions/common/language_resource.h"
#include "directories.h"
#include "framework/path.h"
#include "i18n/language.h"
#include "module_state.h"
#include "framework/app.h"
#include "settings/settings_key_store.h"
#include "signing/manifest_trust.h"

ModuleState& Module()
{
    static ModuleState state;
    return state;
}

BOOL UpdateApp::InitInstance()
{
    ModuleState& module = Module();
    module.updateKeys = LoadUpdateKeys(framework::ModuleInstance());
    std::string installDirectory = GetInstallDirectory();

    module.languageResource = LoadLanguageLibrary(installDirectory.c_str());
    if (module.languageResource)
        module.languageResource->Initialize();

    std::string configPath = installDirectory;
    if (framework::AppendPath(configPath, "config.ini")) {
        SettingsKeyStore config;
        config.SetIniPath(configPath.c_str());
        module.LanguageId = config.ReadInt("Other_Param", "LanguageID", 2052);
    }

    ResolveUserDirectories();
    return App::InitInstance();
}

UpdateApp theApp;
