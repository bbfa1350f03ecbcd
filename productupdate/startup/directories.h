// The four directories of the module: install, host, user data and data.
#pragma once

#include <string>

struct ModuleContext;

// The folder of the product's shared component, found once and cached in
// the context.
std::string GetInstallDirectory(ModuleContext& context);

// Sets the host directory and the user data directory of the context.
void ResolveUserDirectories(ModuleContext& context);

// The all-users data folder of the product ("Velnor" under the common
// application data), created when missing. 1 when a folder was found, 0 when
// no source gave one; the text is then left as it was.
int ResolveDataDirectory(std::string& directory);
