#include "old_files.h"

#include "framework/file_find.h"
#include "framework/win.h"

namespace {
const char kOldFilePattern[] = "*.(old)";
}

bool IsFolderToSearch(DWORD attributes)
{
    // A junction or a symbolic link leads out of the tree, maybe to a folder of
    // someone else's "*.(old)" files, or back up into a loop.
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

void CollectOldFiles(const std::string& directory, std::vector<std::string>& list)
{
    framework::FileFind find;
    for (bool found = find.FindFile(directory + "\\*.*"); found; found = find.FindNextFile()) {
        if (find.IsDots())
            continue;
        if (find.IsDirectory()) {
            if (IsFolderToSearch(find.Attributes()))
                CollectOldFiles(find.FilePath(), list);
        } else if (PathMatchSpecA(find.FilePath().c_str(), kOldFilePattern)) {
            list.push_back(find.FilePath());
        }
    }
}

void SweepOldFiles(const std::string& root)
{
    // An empty text would make the pattern "\*.*", the root of the current drive.
    if (root.empty())
        return;
    std::vector<std::string> list;
    CollectOldFiles(root, list);
    for (const std::string& file : list)
        DeleteFileA(file.c_str());
}
