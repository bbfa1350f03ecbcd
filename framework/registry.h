// Small helpers over the registry functions, with RAII key owners.
#pragma once

#include <string>

#include "handles.h"

namespace framework {

// The key, or an empty owner when it cannot be opened.
RegKey OpenRegKey(HKEY root, const char* path, REGSAM access);
// The key, created when missing; an empty owner when it can be neither.
RegKey CreateRegKey(HKEY root, const char* path, REGSAM access);

// Reads a value as text, whatever its stored type and length; a missing
// terminating zero is supplied. False when the value cannot be read.
bool QueryRegString(HKEY key, const char* name, std::string& value);

}  // namespace framework
