// What check says of the versions and packets: a Ver or a range the module
// reads otherwise than written, packets that never apply or that an earlier
// one shadows, the installed versions that get nothing, the fallback list,
// and a Ver that does not move on from the manifest published before.
#pragma once

#include "check_context.h"

void CheckVersion(CheckContext& check);
// Each packet's range, and its URL list.
void CheckPackets(CheckContext& check);
// A packet that no installed version below Ver reaches first.
void CheckReached(CheckContext& check);
void CheckFallback(CheckContext& check);
void CheckWhoGetsNothing(CheckContext& check);
void CheckAgainstPrevious(CheckContext& check);
void CheckWhatTestModeIgnores(CheckContext& check);
