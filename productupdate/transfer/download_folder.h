// Where a run's transfers put their files.
#pragma once

#include <string>

// The full path of fileName in the run's download folder: the temporary
// folder, or else the folder of this module's file.
std::string DownloadPath(const std::string& fileName);
