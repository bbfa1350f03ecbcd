// The version of a test installation, as its version file writes it.
#pragma once

#include <string>

// Turns the digits of a test version into a dotted version, in place: only the
// part after the last ".", without spaces, with a "." between every two
// characters ("1000" gives "1.0.0.0", "2.5.1234" gives "1.2.3.4").
void DotTestVersion(std::string& version);
