// What check says of what a keyed module demands of the manifest itself: the
// signature, what bears on trust given twice, the Channel it is taken from,
// Expires, and a Serial that must rise with every manifest.
#pragma once

#include "check_context.h"

void CheckSigning(CheckContext& check);
