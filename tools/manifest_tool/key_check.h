// What check says of the keys themselves, as the private-profile functions
// read them: sections and keys given twice, names that miss a known key by a
// letter or two, and numbers that are no plain decimals.
#pragma once

#include <string>
#include <vector>

#include "manifest_check.h"
#include "update_check/update_manifest.h"

void CheckKeys(const std::string& path, const UpdateManifest& manifest, std::vector<Finding>& findings);

// "Packet" + digits with a leading zero ("Packet02"), which the module never
// reads: it looks the names up as prefix%d.
bool HasLeadingZero(const std::string& name, const char* prefix);
