// What check says of a URL list ([Full] or a packet's): File%d entries the
// module never reads, URLs it cannot fetch, a FileCount above the URLs given,
// and the pin of the list's package.
#pragma once

#include <string>
#include <vector>

#include "check_context.h"

// urls: the list as the module reads it.
void CheckList(CheckContext& check, const std::string& section, const std::vector<std::string>& urls);
