// The fields verb: what scripts/publish edits, as the module reads it, so that
// the script needs no INI reader of its own. Every package URL of a list the
// module reads ([Full] and each read packet), by section and File index, and
// [Full] Serial when it is given.
#pragma once

#include <string>

#include "manifest_input.h"

// One field a line, tab-separated: "file SECTION INDEX URL", then "serial Full VALUE".
std::string FieldsText(const ManifestInput& input);
std::string FieldsJson(const ManifestInput& input);
