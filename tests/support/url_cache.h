// Whether WinINet's cache of the current user holds an entry for the URL.
#pragma once

#include <string>

#include "framework/win.h"

inline bool InUrlCache(const std::string& url)
{
    DWORD size = 0;
    GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size);
    return GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}
