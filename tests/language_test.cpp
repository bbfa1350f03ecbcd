// The language lookups against our real language library beside the test
// program, and the fallbacks of the module's own string table.
#include <gtest/gtest.h>

#include "companions/common/language_resource.h"
#include "i18n/language.h"
#include "support/debug_capture.h"
#include "support/temp_folder.h"

namespace {

// Code-page-936 bytes, written out so that the test does not depend on the
// conversions it checks.
const char kSearchError[] = "\xB2\xE9\xD1\xAF\xB8\xFC\xD0\xC2\xB3\xF6\xB4\xED\xA3\xA1";  // 查询更新出错！
const char kNext[] = "\xCF\xC2\xD2\xBB\xB2\xBD(&N) >";                                // 下一步(&N) >
const char kWelcomeTip[] =
    "\xBB\xB6\xD3\xAD\xCA\xB9\xD3\xC3\xD4\xDA\xCF\xDF\xC9\xFD\xBC\xB6\xA1\xA3";  // 欢迎使用在线升级。

class Lookups : public testing::Test {
protected:
    void UseLibrary(int languageId)
    {
        language.resource = LoadLanguageLibrary(nullptr);
        ASSERT_NE(language.resource, nullptr) << "common.dll beside the test program";
        language.resource->Initialize();
        language.id = languageId;
    }

    Language language;
};

TEST_F(Lookups, WithoutTheLibraryEveryLookupTakesItsFallback)
{
    TempFolder empty;
    EXPECT_EQ(LoadLanguageLibrary(empty.path().c_str()), nullptr);

    EXPECT_EQ(LoadLocalizedString(language, "IDS_SEARCHERROR", 7), kSearchError);
    EXPECT_EQ(LoadLocalizedString(language, "IDC_NEXT", 3002), "") << "no string 3002 exists";
    EXPECT_EQ(LoadLocalizedString(language, "IDC_WELCOMETIP", 3007), "");
}

// A copy of the library in the current folder, or on the search path, must
// never be taken for ours: without a full folder there is no library.
TEST_F(Lookups, TheLibraryIsLoadedFromAFullFolderOnly)
{
    TempFolder current;
    current.Write("Sub\\placeholder", "");
    CopyFileTo(ProgramFolder() + "\\common.dll", current / "common.dll");
    CopyFileTo(ProgramFolder() + "\\common.dll", current / "Sub\\common.dll");
    char saved[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, saved);
    SetCurrentDirectoryA(current.path().c_str());
    for (const char* folder : {"", "Sub", ".\\Sub", "\\"})
        EXPECT_EQ(LoadLanguageLibrary(folder), nullptr) << "folder '" << folder << "'";
    SetCurrentDirectoryA(saved);
    HMODULE copy = nullptr;
    EXPECT_NE(LoadLanguageLibrary((current / "Sub").c_str(), &copy), nullptr) << "the copy loads";
    FreeLibrary(copy);
}

TEST_F(Lookups, TheLibraryAnswersByLanguageSectionAndKey)
{
    UseLibrary(2052);
    EXPECT_EQ(LoadLocalizedString(language, "IDC_NEXT", 3002), kNext);
    EXPECT_EQ(LoadLocalizedString(language, "IDC_WELCOMETIP", 3007), kWelcomeTip);
    EXPECT_EQ(LoadLocalizedString(language, "IDS_SEARCHERROR", 7), kSearchError);

    UseLibrary(1033);
    EXPECT_EQ(LoadLocalizedString(language, "IDC_NEXT", 3002), "&Next >");
    EXPECT_EQ(LoadLocalizedString(language, "IDS_SEARCHERROR", 7), "The update check failed!");
    EXPECT_EQ(LoadLocalizedString(language, "IDC_QUERYING", 3009),
              "Looking for the latest product and components, please wait.\n\n"
              "This may take a few minutes.");

    UseLibrary(1234);  // a language without a file
    EXPECT_EQ(LoadLocalizedString(language, "IDS_SEARCHERROR", 7), kSearchError);
    EXPECT_EQ(LoadLocalizedString(language, "IDC_NEXT", 3002), "");
}

TEST_F(Lookups, AnEmptyTextFallsBackToTheStringTable)
{
    std::string file = ProgramFolder() + "\\languages\\4242.lng";
    {
        TempFolder scratch;
        CopyFileTo(scratch.Write("4242.lng", "[Frame]\nIDC_NEXT=\nIDS_SEARCHERROR=\n"), file);
    }
    UseLibrary(4242);
    EXPECT_EQ(LoadLocalizedString(language, "IDC_NEXT", 3002), "");
    EXPECT_EQ(LoadLocalizedString(language, "IDS_SEARCHERROR", 7), kSearchError);
    DeleteFileA(file.c_str());
}

TEST_F(Lookups, ItemTextIsAlwaysReplaced)
{
    HWND parent = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                nullptr);
    HWND edit = CreateWindowA("STATIC", "template text", WS_CHILD, 0, 0, 10, 10, parent,
                              reinterpret_cast<HMENU>(3002), nullptr, nullptr);
    SetLocalizedItemText(language, parent, 3002, "IDC_NEXT");
    char text[64];
    GetWindowTextA(edit, text, sizeof text);
    EXPECT_STREQ(text, "");

    UseLibrary(2052);
    SetLocalizedItemText(language, parent, 3002, "IDC_NEXT");
    GetWindowTextA(edit, text, sizeof text);
    EXPECT_STREQ(text, kNext);
    DestroyWindow(parent);
}

#ifdef _WIN64
#define MEMBER_CALL
#else
#define MEMBER_CALL __thiscall  // what C++ compilers give a member by default
#endif

// The positions in the table of virtual operations are the interface, not
// the declaration in our header: call them by index, as another compiler's
// caller would, in the convention the platform gives members.
TEST(LanguageLibrary, InitializeAndLookupTextSitAtPositionsTwoAndSeven)
{
    HMODULE library = LoadLibraryA((ProgramFolder() + "\\common.dll").c_str());
    ASSERT_NE(library, nullptr);
    auto get = reinterpret_cast<void* (*)()>(
        reinterpret_cast<void*>(GetProcAddress(library, "GetLanguageResA")));
    ASSERT_NE(get, nullptr);
    void* object = get();
    void** table = *static_cast<void***>(object);

    using Initialize = int(MEMBER_CALL*)(void*);
    using LookupText = const char*(MEMBER_CALL*)(void*, int, const char*, const char*, void*);
    reinterpret_cast<Initialize>(table[1])(object);
    auto lookup = reinterpret_cast<LookupText>(table[6]);
    const char* text = lookup(object, 1033, "Frame", "IDOK", nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "&OK");
    EXPECT_EQ(lookup(object, 1033, "Frame", "NoSuchKey", nullptr), nullptr);
    EXPECT_EQ(lookup(object, 1033, "NoSuchSection", "IDOK", nullptr), nullptr);
}

// A library built as plain C++ classes with the compiler's defaults, as the
// product's own is: each lookup must reach it with the language, "Frame" and
// the key, and its texts must come back.
TEST_F(Lookups, AnOrdinaryCppLibraryGetsTheLookupsAndGivesTheTexts)
{
    language.resource = LoadLanguageLibrary((ProgramFolder() + "\\plain-language").c_str());
    ASSERT_NE(language.resource, nullptr);
    language.resource->Initialize();
    DebugCapture capture;
    const char* keys[] = {"IDC_NEXT", "IDS_SEARCHERROR", "IDC_WELCOMETIP"};
    std::vector<std::string> expected;
    for (const char* key : keys) {
        EXPECT_EQ(LoadLocalizedString(language, key, 7), std::string("plain ") + key);
        expected.push_back(std::string("lookup 2052 Frame ") + key);
    }
    EXPECT_EQ(capture.Texts(), expected);
}

}  // namespace
