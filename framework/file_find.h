// Enumerates the entries of one folder that match a pattern.
#pragma once

#include <string>

#include "handles.h"

namespace framework {

class FileFind {
public:
    // Starts the enumeration; false when nothing matches or the folder cannot be read.
    bool FindFile(const std::string& pattern);
    // Moves to the next entry; false when the current one was the last.
    bool FindNextFile();

    std::string FilePath() const { return folder_ + data_.cFileName; }
    bool IsDots() const;
    DWORD Attributes() const { return data_.dwFileAttributes; }
    bool IsDirectory() const { return (data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

private:
    FindHandle handle_;
    WIN32_FIND_DATAA data_{};
    std::string folder_;  // the pattern's folder, with its trailing separator
};

}  // namespace framework
