// The settings store on the real registry of the Wine prefix and real INI files.
#include <gtest/gtest.h>

#include "settings/settings_key_store.h"
#include "support/registry.h"
#include "support/temp_folder.h"

namespace {

const char kName[] = "VelnorStoreTest";
const std::string kAppKey = std::string("software\\") + kName;

class RegistryStore : public testing::Test {
protected:
    void SetUp() override
    {
        DeleteRegTree(HKEY_CURRENT_USER, kAppKey);
        store.SetRegistryName(kName);
    }
    void TearDown() override { DeleteRegTree(HKEY_CURRENT_USER, kAppKey); }

    SettingsKeyStore store;
};

class IniStore : public testing::Test {
protected:
    void SetUp() override
    {
        path = folder / "store.ini";
        store.SetIniPath(path.c_str());
    }

    TempFolder folder;
    std::string path;
    SettingsKeyStore store;
};

TEST_F(RegistryStore, ReadsOfMissingValuesGiveTheDefaultAndLeaveTheKeysBehind)
{
    EXPECT_EQ(store.ReadInt("Update", "HasUpdate", 7), 7);
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, kAppKey + "\\Update"));

    EXPECT_EQ(store.ReadString("Other", "Missing", "fallback"), "fallback");
    EXPECT_EQ(store.ReadString("Other", "Missing", nullptr), "");
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, kAppKey + "\\Other"));

    std::vector<BYTE> bytes{1, 2};
    EXPECT_FALSE(store.ReadBinary("Other", "Missing", bytes));
    EXPECT_TRUE(bytes.empty());
}

TEST_F(RegistryStore, StoresIntegersTextsAndBytesInTheirRegistryForms)
{
    ASSERT_TRUE(store.WriteInt("Update", "force", -5));
    ASSERT_TRUE(store.WriteString("Update", "UpdateVersion", "1.2.3.4"));
    const BYTE bytes[] = {0x3C, 0x00, 0xFF};
    ASSERT_TRUE(store.WriteBinary("Update", "Blob", bytes, 3));

    auto force = ReadRegValue(HKEY_CURRENT_USER, kAppKey + "\\Update", "force");
    ASSERT_TRUE(force);
    EXPECT_EQ(force->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(force->dword(), 0xFFFFFFFBu);

    auto version = ReadRegValue(HKEY_CURRENT_USER, kAppKey + "\\Update", "UpdateVersion");
    ASSERT_TRUE(version);
    EXPECT_EQ(version->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(version->data.size(), 8u) << "the terminating zero is stored";

    EXPECT_EQ(store.ReadInt("Update", "force", 0), -5);
    EXPECT_EQ(store.ReadString("Update", "UpdateVersion", ""), "1.2.3.4");
    std::vector<BYTE> read;
    ASSERT_TRUE(store.ReadBinary("Update", "Blob", read));
    EXPECT_EQ(read, std::vector<BYTE>(bytes, bytes + 3));
}

TEST_F(RegistryStore, IntegerReadOfALongerValueGivesTheDefault)
{
    store.WriteString("Update", "Silent", "a longer text");
    EXPECT_EQ(store.ReadInt("Update", "Silent", 42), 42);
    // Short enough values are taken as they are, whatever their type.
    store.WriteString("Update", "Short", "ab");
    EXPECT_EQ(store.ReadInt("Update", "Short", 42), 'a' | ('b' << 8));
}

TEST_F(RegistryStore, NullEntryDeletesTheSectionAndNullValueTheEntry)
{
    store.WriteString("Update", "a", "1");
    store.WriteString("Update", "b", "2");
    EXPECT_TRUE(store.WriteString("Update", "a", nullptr));
    EXPECT_FALSE(ReadRegValue(HKEY_CURRENT_USER, kAppKey + "\\Update", "a"));
    EXPECT_TRUE(ReadRegValue(HKEY_CURRENT_USER, kAppKey + "\\Update", "b"));

    EXPECT_TRUE(store.WriteString("Update", nullptr, "ignored"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kAppKey + "\\Update"));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, kAppKey));
}

TEST_F(RegistryStore, IgnoresItsIniPath)
{
    TempFolder folder;
    std::string ini = folder / "ignored.ini";
    store.SetIniPath(ini.c_str());
    store.WriteInt("Update", "HasUpdate", 1);
    EXPECT_FALSE(FileExists(ini));
    EXPECT_EQ(store.ReadInt("Update", "HasUpdate", 0), 1);
}

TEST_F(RegistryStore, KeyOpenersCreateTheKeys)
{
    framework::RegKey section = store.OpenSectionKey("Made");
    ASSERT_NE(section, nullptr);
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, kAppKey + "\\Made"));

    SettingsKeyStore iniOnly;
    EXPECT_EQ(iniOnly.OpenAppKey(), nullptr) << "no registry name, no key";
}

TEST_F(IniStore, StoresIntegersAndTextsAsIniLines)
{
    ASSERT_TRUE(store.WriteInt("Other_Param", "LanguageID", -5));
    ASSERT_TRUE(store.WriteString("Other_Param", "Name", "text"));
    std::string content = ReadFileBytes(path);
    EXPECT_NE(content.find("[Other_Param]"), std::string::npos);
    EXPECT_NE(content.find("LanguageID=-5"), std::string::npos);
    EXPECT_EQ(store.ReadInt("Other_Param", "LanguageID", 0), -5);
    EXPECT_EQ(store.ReadString("Other_Param", "Name", nullptr), "text");
    EXPECT_EQ(store.ReadString("Other_Param", "Missing", nullptr), "");
    EXPECT_EQ(store.ReadInt("Other_Param", "Missing", 2052), 2052);
}

TEST_F(IniStore, TextReadsStopAt4095Characters)
{
    std::string longText(5000, 'x');
    folder.Write("store.ini", "[S]\r\nlong=" + longText + "\r\n");
    EXPECT_EQ(store.ReadString("S", "long", nullptr), std::string(4095, 'x'));
}

TEST_F(IniStore, BinaryIsStoredAsLetterHex)
{
    const BYTE bytes[] = {0x3C, 0x00, 0xFF, 0x10};
    ASSERT_TRUE(store.WriteBinary("S", "bin", bytes, 4));
    EXPECT_EQ(store.ReadString("S", "bin", nullptr), "MDAAPPAB");

    folder.Write("store.ini", "[S]\r\nodd=MDA\r\nempty=\r\n");
    std::vector<BYTE> read;
    ASSERT_TRUE(store.ReadBinary("S", "odd", read));
    EXPECT_EQ(read, std::vector<BYTE>{0x3C});
    EXPECT_FALSE(store.ReadBinary("S", "empty", read));
}

TEST_F(IniStore, NullEntryDeletesTheSectionAndNullValueTheEntry)
{
    folder.Write("store.ini", "[S]\r\na=1\r\nb=2\r\n[T]\r\nc=3\r\n");
    EXPECT_TRUE(store.WriteString("S", "a", nullptr));
    EXPECT_EQ(store.ReadString("S", "a", "gone"), "gone");
    EXPECT_EQ(store.ReadString("S", "b", nullptr), "2");
    EXPECT_TRUE(store.WriteString("S", nullptr, nullptr));
    EXPECT_EQ(store.ReadString("S", "b", "gone"), "gone");
    EXPECT_EQ(store.ReadString("T", "c", nullptr), "3");
}

}  // namespace
