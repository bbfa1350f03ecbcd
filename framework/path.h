// Path helpers over the shell's path functions, which know the double-byte
// characters of the ANSI code page (a trail byte may equal '\').
#pragma once

#include <string>
#include <vector>

#include "win.h"

namespace framework {

// Full path of a module's file; an empty text when it cannot be had.
std::string ModuleFileName(HMODULE module);

// The path without its last element (PathRemoveFileSpecA).
std::string RemoveFileSpec(const std::string& path);

// Whether the path names the same place whatever the current drive and folder:
// a drive path ("C:\x", "C:/x") or a UNC path ("\\server\share"). Neither an
// empty text, nor "x" or "..\x", nor "\x" (the root of the current drive),
// nor "C:x" (the current folder of drive C) is.
bool IsAbsolutePath(const std::string& path);

// Appends one element with PathAppendA. Returns false, and leaves the path
// unchanged, when the result would not fit the shell's MAX_PATH buffer.
bool AppendPath(std::string& path, const char* more);

// The system's temporary folder; an empty text when GetTempPathA fails or the
// folder does not fit MAX_PATH.
std::string TempFolder();

// Reads a text with GetPrivateProfileStringA, without a length limit of the caller's.
std::string ReadProfileString(const char* section, const char* key, const char* fallback,
                              const std::string& file);
// The section names of a profile file, and the key names of one section, in file order.
std::vector<std::string> ReadProfileSectionNames(const std::string& file);
std::vector<std::string> ReadProfileKeyNames(const std::string& section, const std::string& file);

}  // namespace framework
