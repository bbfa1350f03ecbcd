// Names as publishers type them: the tool takes its arguments from the wide
// command line and speaks UTF-8, whatever the ANSI code page, so that a
// manifest named 清单.ini in a folder 发布 can be checked anywhere.
#pragma once

#include <string>
#include <vector>

// The program's arguments, argv[0] included, as UTF-8.
std::vector<std::string> Utf8Arguments();

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// A path that the ANSI file functions (the private-profile ones among them)
// open: the full path itself when the ANSI code page holds every character
// of it, else a copy of the file under a plain temporary name, deleted when
// the tool ends. utf8Path must name an existing file.
std::string AnsiPathOf(const std::string& utf8Path);
