// The downloaded package, held open from its last check until it has been
// copied or started: the handle lets others read the file but neither write,
// rename nor delete it, so the file checked is the file that is used.
#pragma once

#include <string>

#include "framework/handles.h"
#include "transfer/package_pin.h"

// Opens the package and checks what that handle reads: a file of 0 bytes is
// no package, and a pinned one must have its size and digest (the bytes were
// checked as they arrived, but the file sat unheld in the temporary folder
// since). An empty owner, with its trace line for a broken pin, when the
// package must not be used.
framework::FileHandle HoldPackage(const std::string& path, const PackagePin& pin);
