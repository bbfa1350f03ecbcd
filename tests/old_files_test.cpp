// The sweep of "*.(old)" files on real folders of the Wine prefix.
#include <algorithm>
#include <cstddef>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/handles.h"

#include "entry/old_files.h"
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
    SweepOldFiles("");
    SetCurrentDirectoryA(saved);
    EXPECT_TRUE(FileExists(file));

    TempFolder empty;
    SweepOldFiles(empty.path().c_str());
    EXPECT_TRUE(PathIsDirectoryA(empty.path().c_str()));
}

// Makes a directory symbolic link; false when this system cannot make one that
// shows as a reparse point.
bool MakeFolderSymbolicLink(const std::string& link, const std::string& target)
{
    if (!CreateSymbolicLinkA(
            link.c_str(), target.c_str(),
            SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        return false;
    DWORD attributes = GetFileAttributesA(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The reparse data of a junction, as FSCTL_SET_REPARSE_POINT takes it (the
// kernel headers' REPARSE_DATA_BUFFER, which the user-mode headers lack).
struct MountPointData {
    DWORD tag;
    WORD dataLength;  // the bytes after the first eight
    WORD reserved;
    WORD substituteOffset;
    WORD substituteLength;
    WORD printOffset;
    WORD printLength;
    wchar_t names[MAX_PATH * 2];  // substitute name, NUL, print name, NUL
};

// Makes a junction (a mount point reparse point) from an empty folder; false
// when this system cannot.
bool MakeJunction(const std::string& link, const std::string& target)
{
    if (!CreateDirectoryA(link.c_str(), nullptr))
        return false;
    framework::FileHandle folder(
        CreateFileA(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder)
        return false;
    std::wstring substitute = L"\\??\\";
    for (char c : target)
        substitute += static_cast<wchar_t>(c);
    MountPointData data{};
    data.tag = IO_REPARSE_TAG_MOUNT_POINT;
    data.substituteLength = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
    data.printOffset = static_cast<WORD>(data.substituteLength + sizeof(wchar_t));
    std::copy(substitute.begin(), substitute.end(), data.names);
    DWORD size =
        static_cast<DWORD>(offsetof(MountPointData, names) + data.printOffset + sizeof(wchar_t));
    data.dataLength = static_cast<WORD>(size - 8);
    DWORD returned = 0;
    if (!DeviceIoControl(folder.get(), FSCTL_SET_REPARSE_POINT, &data, size, nullptr, 0, &returned,
                         nullptr))
        return false;
    DWORD attributes = GetFileAttributesA(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsReparsePoint(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A folder that is a link, of any kind, leads out of the tree: an update never
// leaves its "*.(old)" files behind one, so the sweep does not enter it.
TEST(OldFiles, TheSweepNeverEntersALinkedFolder)
{
    EXPECT_TRUE(IsFolderToSearch(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_TRUE(IsFolderToSearch(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(IsFolderToSearch(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_FALSE(IsFolderToSearch(FILE_ATTRIBUTE_NORMAL));

    int linksTried = 0;
    // The build makes root\link -> ..\outside with the host's own symlink(),
    // which Wine shows as a reparse point and a Windows program cannot make there.
    std::string tree = ProgramFolder() + "\\..\\tests\\linked-tree";
    if (IsReparsePoint(tree + "\\root\\link")) {
        ++linksTried;
        std::ofstream(tree + "\\root\\own.(old)") << "o";
        std::ofstream(tree + "\\outside\\victim.(old)") << "v";
        SweepOldFiles((tree + "\\root").c_str());
        EXPECT_FALSE(FileExists(tree + "\\root\\own.(old)"));
        EXPECT_TRUE(FileExists(tree + "\\outside\\victim.(old)")) << "through a host symlink";
    }

    TempFolder outside;
    std::string victim = outside.Write("victim.(old)", "v");
    TempFolder root;
    std::string own = root.Write("own.(old)", "o");
    bool symbolic = MakeFolderSymbolicLink(root / "symbolic", outside.path());
    bool junction = MakeJunction(root / "junction", outside.path());
    linksTried += symbolic + junction;
    SweepOldFiles(root.path().c_str());
    EXPECT_FALSE(FileExists(own));
    EXPECT_TRUE(FileExists(victim))
        << "symbolic link made: " << symbolic << ", junction made: " << junction;
    if (linksTried == 0)
        GTEST_SKIP() << "no folder link could be made here: the rule was tested on attributes only";
}

}  // namespace
