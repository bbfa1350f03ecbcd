// The module's start-up: each source of the install, user data and data
// directory, and each fallback, on the real registry of the Wine prefix.
#include <gtest/gtest.h>

#include "framework/path.h"
#include "startup/directories.h"
#include "startup/update_app.h"
#include "support/registry.h"
#include "support/temp_folder.h"

namespace {

// Makes a folder the current folder for the life of the object: a relative
// path would name something in it.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::string& folder)
    {
        GetCurrentDirectoryA(MAX_PATH, saved_);
        SetCurrentDirectoryA(folder.c_str());
    }
    ~CurrentFolder() { SetCurrentDirectoryA(saved_); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    char saved_[MAX_PATH] = {};
};

const char kServerKey[] = "CLSID\\{6D2B8E41-7F3A-4C95-A1E6-0B5C9D2F4A73}\\InprocServer32";
const char kServerKeyRoot[] = "CLSID\\{6D2B8E41-7F3A-4C95-A1E6-0B5C9D2F4A73}";
const char kCurrentVersion[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kShellFolders[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class InstallDirectory : public testing::Test {
protected:
    void SetUp() override
    {
        DeleteRegTree(HKEY_CLASSES_ROOT, kServerKeyRoot);
    }
    void TearDown() override
    {
        DeleteRegTree(HKEY_CLASSES_ROOT, kServerKeyRoot);
        DeleteFileA(componentBesideUs.c_str());
    }

    ModuleContext context;

    std::string componentBesideUs = ProgramFolder() + "\\OrlithEWA.OCX";
    SavedRegValue commonFiles{HKEY_LOCAL_MACHINE, kCurrentVersion, "CommonFilesDir"};
};

TEST_F(InstallDirectory, IsTheFolderOfTheRegisteredComponent)
{
    WriteRegString(HKEY_CLASSES_ROOT, kServerKey, nullptr, "C:\\X\\Y\\comp.ocx");
    EXPECT_EQ(GetInstallDirectory(context), "C:\\X\\Y");

    // Found once, then kept for the life of the module.
    WriteRegString(HKEY_CLASSES_ROOT, kServerKey, nullptr, "C:\\Other\\comp.ocx");
    EXPECT_EQ(GetInstallDirectory(context), "C:\\X\\Y");
}

TEST_F(InstallDirectory, IsTheModulesFolderWhenTheComponentLiesThere)
{
    TempFolder unused;
    CopyFileTo(unused.Write("c", "x"), componentBesideUs);
    WriteRegString(HKEY_LOCAL_MACHINE, kCurrentVersion, "CommonFilesDir", "C:\\Common");
    EXPECT_EQ(GetInstallDirectory(context), ProgramFolder());
}

TEST_F(InstallDirectory, FallsBackToTheCommonFilesAndThenToTheModulesFolder)
{
    WriteRegString(HKEY_LOCAL_MACHINE, kCurrentVersion, "CommonFilesDir", "C:\\Common");
    EXPECT_EQ(GetInstallDirectory(context), "C:\\Common\\Orlith\\Quenby");

    context.installDirectory.clear();
    DeleteRegValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "CommonFilesDir");
    EXPECT_EQ(GetInstallDirectory(context), ProgramFolder());
}

// A bare file name or a relative path would put the install folder wherever the
// host's current folder happens to be: such a source counts as none.
TEST_F(InstallDirectory, AnEmptyOrRelativeSourceIsPassedOver)
{
    WriteRegString(HKEY_LOCAL_MACHINE, kCurrentVersion, "CommonFilesDir", "C:\\Common");
    for (const char* registered :
         {"comp.ocx", "Sub\\comp.ocx", "\\Rooted\\comp.ocx", "C:comp.ocx"}) {
        WriteRegString(HKEY_CLASSES_ROOT, kServerKey, nullptr, registered);
        context.installDirectory.clear();
        EXPECT_EQ(GetInstallDirectory(context), "C:\\Common\\Orlith\\Quenby") << registered;
    }
    WriteRegString(HKEY_CLASSES_ROOT, kServerKey, nullptr, "\\\\server\\share\\comp.ocx");
    context.installDirectory.clear();
    EXPECT_EQ(GetInstallDirectory(context), "\\\\server\\share");

    DeleteRegTree(HKEY_CLASSES_ROOT, kServerKeyRoot);
    for (const char* commonFiles : {"", "Common"}) {
        WriteRegString(HKEY_LOCAL_MACHINE, kCurrentVersion, "CommonFilesDir", commonFiles);
        context.installDirectory.clear();
        EXPECT_EQ(GetInstallDirectory(context), ProgramFolder())
            << "CommonFilesDir '" << commonFiles << "'";
    }
}

TEST(AbsolutePath, IsADrivePathOrAUncPath)
{
    for (const char* path : {"C:\\", "c:\\x", "C:/x", "\\\\server\\share", "\\\\server\\share\\x"})
        EXPECT_TRUE(framework::IsAbsolutePath(path)) << path;
    // The root of the current drive, a drive's current folder, and the rest.
    for (const char* path : {"", "x", "x\\y", ".\\x", "..\\x", "\\x", "/x", "C:", "C:x", "1:\\x",
                             "\\\\", "\\\\server", "\\\\server\\"})
        EXPECT_FALSE(framework::IsAbsolutePath(path)) << path;
}

class UserDirectories : public testing::Test {
protected:
    SavedRegValue appData{HKEY_CURRENT_USER, "Volatile Environment", "APPDATA"};
    TempFolder folder;
    ModuleContext context;
};

TEST_F(UserDirectories, UserDataIsVelnorUnderTheApplicationData)
{
    WriteRegString(HKEY_CURRENT_USER, "Volatile Environment", "APPDATA", folder.path());
    ResolveUserDirectories(context);
    EXPECT_EQ(context.hostDirectory, ProgramFolder());
    EXPECT_EQ(context.userDataDirectory, folder / "Velnor");
    EXPECT_TRUE(PathIsDirectoryA((folder / "Velnor").c_str()));
}

TEST_F(UserDirectories, UserDataIsTheHostDirectoryWithoutAnExistingApplicationData)
{
    WriteRegString(HKEY_CURRENT_USER, "Volatile Environment", "APPDATA", folder / "missing");
    ResolveUserDirectories(context);
    EXPECT_EQ(context.userDataDirectory, ProgramFolder());
    EXPECT_FALSE(FileExists(folder / "missing"));

    DeleteRegValue(HKEY_CURRENT_USER, "Volatile Environment", "APPDATA");
    ResolveUserDirectories(context);
    EXPECT_EQ(context.userDataDirectory, ProgramFolder());
}

TEST_F(UserDirectories, ARelativeApplicationDataIsNone)
{
    CreateDirectoryA((folder / "Relative").c_str(), nullptr);
    CurrentFolder current(folder.path());
    WriteRegString(HKEY_CURRENT_USER, "Volatile Environment", "APPDATA", "Relative");
    ResolveUserDirectories(context);
    EXPECT_EQ(context.userDataDirectory, ProgramFolder());
    EXPECT_FALSE(FileExists(folder / "Relative\\Velnor"));
}

class DataDirectory : public testing::Test {
protected:
    SavedRegValue commonAppData{HKEY_LOCAL_MACHINE, kShellFolders, "Common AppData"};
    TempFolder folder;
};

TEST_F(DataDirectory, IsVelnorUnderTheCommonApplicationDataAndIsCreated)
{
    WriteRegString(HKEY_LOCAL_MACHINE, kShellFolders, "Common AppData", folder.path());
    std::string directory;
    EXPECT_EQ(ResolveDataDirectory(directory), 1);
    EXPECT_EQ(directory, folder / "Velnor");
    EXPECT_TRUE(PathIsDirectoryA(directory.c_str()));
}

TEST_F(DataDirectory, AsksTheShellWhenTheRegistryHasNoValue)
{
    DeleteRegValue(HKEY_LOCAL_MACHINE, kShellFolders, "Common AppData");
    char shell[MAX_PATH];
    ASSERT_GE(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, shell), 0);
    std::string directory;
    EXPECT_EQ(ResolveDataDirectory(directory), 1);
    EXPECT_EQ(directory, std::string(shell) + "\\Velnor");
}

// An empty value would leave the bare "Velnor", a folder in the host's current
// folder: the next source answers instead.
TEST_F(DataDirectory, AnEmptyOrRelativeCommonAppDataIsPassedOver)
{
    char shell[MAX_PATH];
    ASSERT_GE(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, shell), 0);
    CurrentFolder current(folder.path());
    for (const char* value : {"", "Data", "\\Data"}) {
        WriteRegString(HKEY_LOCAL_MACHINE, kShellFolders, "Common AppData", value);
        std::string directory;
        EXPECT_EQ(ResolveDataDirectory(directory), 1);
        EXPECT_EQ(directory, std::string(shell) + "\\Velnor") << "Common AppData '" << value << "'";
    }
    EXPECT_FALSE(FileExists(folder / "Velnor"));
    EXPECT_FALSE(FileExists(folder / "Data"));
}

TEST(LanguageId, IsReadFromConfigIniInTheInstallDirectory)
{
    ModuleContext context;
    TempFolder install;
    install.Write("config.ini", "[Other_Param]\r\nLanguageID=1033\r\n");
    context.installDirectory = install.path();
    StartModule(context);
    EXPECT_EQ(context.language.id, 1033);
    EXPECT_EQ(context.language.resource, nullptr) << "no common.dll in the install directory";

    DeleteFileA((install / "config.ini").c_str());
    StartModule(context);
    EXPECT_EQ(context.language.id, 2052);

    // A relative install folder names no config.ini, not one in the current folder.
    install.Write("Sub\\config.ini", "[Other_Param]\r\nLanguageID=1033\r\n");
    CurrentFolder current(install.path());
    context.installDirectory = "Sub";
    StartModule(context);
    EXPECT_EQ(context.language.id, 2052);
}

}  // namespace
