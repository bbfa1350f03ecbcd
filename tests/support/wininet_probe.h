// One request over bare WinINet, to see what a real server and the platform's
// WinINet do before the module does anything with it.
#pragma once

#include <optional>
#include <string>

#include "framework/win.h"

struct ProbeRequest {
    std::string url;
    std::string proxy;  // host:port, named to WinINet; empty: the user's settings
    std::string proxyUser;  // given to the proxy, when set
    std::string proxyPassword;
    bool followRedirects = true;
    bool decode = false;  // INTERNET_OPTION_HTTP_DECODING
    std::string headers;  // more request headers, each line ending in CRLF
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
};

struct ProbeResult {
    std::string failedCall;  // the WinINet call that failed; empty when an answer came
    DWORD error = 0;         // its error number
    DWORD status = 0;
    std::string headers;     // the raw header block as WinINet reports it
    std::string finalUrl;    // after the redirects that WinINet followed
    // What HttpQueryInfo reports; empty when it reports no such header.
    std::optional<std::string> contentLength, transferEncoding, contentEncoding, location;
    std::string body;
};

ProbeResult Probe(const ProbeRequest& request);
