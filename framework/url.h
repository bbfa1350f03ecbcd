// Splits a URL into service, server, port and object path.
#pragma once

#include <string>

#include "win.h"

namespace framework {

enum class InternetService { Unknown, Http, Https, Ftp, File };

struct ParsedUrl {
    InternetService service = InternetService::Unknown;
    std::string server;
    INTERNET_PORT port = 0;  // the scheme's default when the URL names none
    std::string object;      // path, query and fragment; "/" when empty
};

// False when the text is not of the form scheme://[user[:password]@]server[:port][/object]
// with a known scheme, a server and a port from 1 to 65535.
bool ParseUrl(const std::string& url, ParsedUrl& parsed);

}  // namespace framework
