// The sweep of "*.(old)" files on real folders of the Wine prefix.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "entry/old_files.h"
#include "startup/module_state.h"
#include "support/temp_folder.h"

namespace {

TEST(OldFiles, MatchingFilesGoEverywhereBelowTheRootFoldersStay)
{
    TempFolder root;
    std::vector<std::string> gone = {
        root.Write("a.(old)", "a"),
        root.Write("B.(OLD)", "b"),
        root.Write("x.(old)\\y.(old)", "y"),
        root.Write("one\\two\\three\\deep.(Old)", "d"),
        root.Write("one\\.(old)", "nameless"),
    };
    std::vector<std::string> kept = {
        root.Write("c.(old).txt", "c"),
        root.Write("old", "o"),
        root.Write("d.old", "d"),
        root.Write("e(old)", "e"),
        root.Write("one\\two\\keep.txt", "k"),
    };

    std::vector<std::string> listed;
    CollectOldFiles(root.path(), listed);
    EXPECT_EQ(listed.size(), gone.size());
    for (const std::string& file : gone)
        EXPECT_NE(std::find(listed.begin(), listed.end(), file), listed.end()) << file;

    SweepOldFiles(root.path().c_str());
    for (const std::string& file : gone)
        EXPECT_FALSE(FileExists(file)) << file;
    for (const std::string& file : kept)
        EXPECT_TRUE(FileExists(file)) << file;
    EXPECT_TRUE(PathIsDirectoryA((root / "x.(old)").c_str())) << "a folder is never matched";
    EXPECT_TRUE(PathIsDirectoryA((root / "one\\two\\three").c_str()));
}

TEST(OldFiles, AFileThatCannotBeDeletedStaysAndTheSweepGoesOn)
{
    TempFolder root;
    std::vector<std::string> locked;
    for (const char* name : {"r.(old)", "sub\\r.(old)", "sub\\deeper\\r.(old)"}) {
        locked.push_back(root.Write(name, "r"));
        SetFileAttributesA(locked.back().c_str(), FILE_ATTRIBUTE_READONLY);
    }
    std::vector<std::string> others = {root.Write("a.(old)", "a"), root.Write("sub\\a.(old)", "a"),
                                       root.Write("sub\\deeper\\a.(old)", "a")};

    SweepOldFiles(root.path().c_str());
    for (const std::string& file : locked)
        EXPECT_TRUE(FileExists(file)) << file;
    for (const std::string& file : others)
        EXPECT_FALSE(FileExists(file)) << file;
}

TEST(OldFiles, WithoutARootArgumentTheHostDirectoryIsSwept)
{
    TempFolder host;
    std::string file = host.Write("z.(old)", "z");
    std::string saved = Module().hostDirectory;
    Module().hostDirectory = host.path();
    SweepOldFiles(nullptr);
    Module().hostDirectory = saved;
    EXPECT_FALSE(FileExists(file));
}

TEST(OldFiles, AnEmptyOrMissingRootSweepsNothing)
{
    TempFolder folder;
    std::string file = folder.Write("here.(old)", "h");

    SweepOldFiles((folder / "missing").c_str());
    std::vector<std::string> listed;
    CollectOldFiles(folder / "missing", listed);
    EXPECT_TRUE(listed.empty());

    // An empty root must not become the root of the current drive, which here
    // holds the file.
    char saved[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, saved);
    SetCurrentDirectoryA(folder.path().c_str());
    std::string savedHost = Module().hostDirectory;
    Module().hostDirectory.clear();
    SweepOldFiles("");
    SweepOldFiles(nullptr);
    Module().hostDirectory = savedHost;
    SetCurrentDirectoryA(saved);
    EXPECT_TRUE(FileExists(file));

    TempFolder empty;
    SweepOldFiles(empty.path().c_str());
    EXPECT_TRUE(PathIsDirectoryA(empty.path().c_str()));
}

}  // namespace
