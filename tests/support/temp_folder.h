// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <string>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    // path() + "\\" + name
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }
    // Writes a file below the folder, making its folders; returns its full path.
    std::string Write(const std::string& name, const std::string& content) const;

private:
    std::string path_;
};

void RemoveTree(const std::string& path);
bool FileExists(const std::string& path);
std::string ReadFileBytes(const std::string& path);
void CopyFileTo(const std::string& from, const std::string& to);
// The folder of the running test program.
std::string ProgramFolder();
