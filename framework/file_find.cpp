#include "file_find.h"

#include <cstring>


namespace framework {

bool FileFind::FindFile(const std::string& pattern)
{
    handle_.reset(FindFirstFileA(pattern.c_str(), &data_));
    if (!handle_)
        return false;
    // Everything up to the file name part, found the double-byte-safe way.
    const char* name = PathFindFileNameA(pattern.c_str());
    folder_.assign(pattern.c_str(), name);
    return true;
}

bool FileFind::FindNextFile() { return handle_ && ::FindNextFileA(handle_.get(), &data_) != FALSE; }

bool FileFind::IsDots() const
{
    return std::strcmp(data_.cFileName, ".") == 0 || std::strcmp(data_.cFileName, "..") == 0;
}

}  // namespace framework
