// What check says of the file as a whole and of its sections: its encoding,
// the [Full] section every reading starts from, and the sections and packet
// count the module never reads.
#pragma once

#include "check_context.h"

// False when there is no [Full]: nothing else is then worth saying.
bool CheckStructure(CheckContext& check);
