#include "download_folder.h"

#include "framework/app.h"
#include "framework/path.h"

namespace {

// The temporary folder, or else the folder of this module's file.
std::string DownloadFolder()
{
    std::string folder = framework::TempFolder();
    if (folder.empty())
        folder = framework::RemoveFileSpec(framework::ModuleFileName(framework::ModuleInstance()));
    return folder;
}

}  // namespace

std::string DownloadPath(const std::string& fileName)
{
    std::string file = DownloadFolder();
    framework::AppendPath(file, fileName.c_str());
    return file;
}
