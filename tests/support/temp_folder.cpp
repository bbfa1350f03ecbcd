#include "temp_folder.h"

#include <atomic>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "framework/path.h"
#include "framework/win.h"

TempFolder::TempFolder()
{
    static std::atomic<int> counter{0};
    std::ostringstream name;
    name << framework::TempFolder() << "velnor-test-" << GetCurrentProcessId() << "-" << ++counter;
    path_ = name.str();
    RemoveTree(path_);
    if (!CreateDirectoryA(path_.c_str(), nullptr))
        throw std::runtime_error("cannot create " + path_);
}

TempFolder::~TempFolder() { RemoveTree(path_); }

std::string TempFolder::Write(const std::string& name, const std::string& content) const
{
    std::string full = *this / name;
    for (size_t slash = full.find('\\', path_.size() + 1); slash != std::string::npos;
         slash = full.find('\\', slash + 1))
        CreateDirectoryA(full.substr(0, slash).c_str(), nullptr);
    std::ofstream out(full, std::ios::binary);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + full);
    return full;
}

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            // A linked folder is removed as a link, never emptied.
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTree(child);
            else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryA(child.c_str());
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void CopyFileTo(const std::string& from, const std::string& to)
{
    if (!CopyFileA(from.c_str(), to.c_str(), FALSE))
        throw std::runtime_error("cannot copy " + from + " to " + to);
}

std::string ProgramFolder() { return framework::RemoveFileSpec(framework::ModuleFileName(nullptr)); }
