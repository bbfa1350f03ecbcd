// The sweep of files that earlier updates left behind, named "*.(old)".
#pragma once

#include <string>
#include <vector>

// Deletes every "*.(old)" file in the root (the host directory when null) and
// in every folder below it. Files that cannot be deleted stay, unreported. An
// empty root sweeps nothing.
void SweepOldFiles(const char* root);

// Appends the full path of every "*.(old)" file in the directory and below it,
// depth first. Folders are searched, never matched themselves.
void CollectOldFiles(const std::string& directory, std::vector<std::string>& list);
