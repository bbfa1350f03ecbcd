// The hand-off of the file-by-file update to the product's updater library.
#pragma once

#include <string>

// Tells ZudEduzu.dll where this installation's file list is published (the
// company of the VLNR.INI file) and waits for it. Skipped when the library
// or its export is missing.
void RunFileUpdate(const std::string& iniFilePath);
