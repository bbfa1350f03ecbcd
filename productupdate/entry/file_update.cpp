#include "file_update.h"

#include <string>

#include "framework/debug_output.h"
#include "framework/path.h"
#include "shared/facts.h"
#include "update_check/update_server.h"

namespace {

using EtadpuProc = void(__stdcall*)(const char* listUrl);

std::string FileListUrl(const std::string& company)
{
    return std::string("http://") + kUpdateServerHost + CompanyFileListPath(company);
}

}  // namespace

void RunFileUpdate(const std::string& iniFilePath)
{
    framework::DebugOutput("FileUpdate");
    // The product ships the updater beside the host. Only that folder and the
    // system's are searched: a copy planted in the current folder or on the
    // PATH must never run in our place. Loaded for the rest of the process:
    // the updater may keep work going.
    HMODULE library = LoadLibraryExA("ZudEduzu.dll", nullptr,
                                     LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!library)
        return;
    auto etadpu = reinterpret_cast<EtadpuProc>(
        reinterpret_cast<void*>(GetProcAddress(library, "Etadpu")));
    if (!etadpu)
        return;
    framework::DebugOutput("Do FileUpdate");
    std::string company =
        framework::ReadProfileString("Version", "company", "self", iniFilePath);
    etadpu(FileListUrl(company).c_str());
}
