// The sweep of files that earlier updates left behind, named "*.(old)".
#pragma once

#include <string>
#include <vector>

#include "framework/win.h"

// Deletes every "*.(old)" file in the root and in every folder below it,
// never through a link. Files that cannot be deleted stay, unreported. An
// empty root sweeps nothing.
void SweepOldFiles(const std::string& root);

// Appends the full path of every "*.(old)" file in the directory and below it,
// depth first. Folders are searched, never matched themselves; a folder that is
// a reparse point (a junction or a symbolic link) is not entered.
void CollectOldFiles(const std::string& directory, std::vector<std::string>& list);

// Whether the sweep searches below an entry with these find-data attributes:
// a folder that is not a reparse point.
bool IsFolderToSearch(DWORD attributes);
