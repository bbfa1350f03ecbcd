// Trace lines on the system's debug-string output: one call per line, no line end.
#pragma once

#include <string>

#include "win.h"

namespace framework {

inline void DebugOutput(const char* line) { OutputDebugStringA(line); }
inline void DebugOutput(const std::string& line) { OutputDebugStringA(line.c_str()); }

}  // namespace framework
