#include "url.h"

#include <cstring>

namespace framework {

namespace {

struct Scheme {
    const char* name;
    InternetService service;
    INTERNET_PORT port;
};

const Scheme kSchemes[] = {
    {"http", InternetService::Http, 80},
    {"https", InternetService::Https, 443},
    {"ftp", InternetService::Ftp, 21},
    {"file", InternetService::File, 0},
};

bool ParsePort(const std::string& text, INTERNET_PORT& port)
{
    if (text.empty() || text.size() > 5)
        return false;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535)
        return false;
    port = static_cast<INTERNET_PORT>(value);
    return true;
}

}  // namespace

bool ParseUrl(const std::string& url, ParsedUrl& parsed)
{
    size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos)
        return false;
    const Scheme* scheme = nullptr;
    for (const Scheme& s : kSchemes) {
        if (schemeEnd == std::strlen(s.name) && _strnicmp(url.c_str(), s.name, schemeEnd) == 0)
            scheme = &s;
    }
    if (!scheme)
        return false;

    size_t authorityStart = schemeEnd + 3;
    size_t authorityEnd = url.find_first_of("/?#", authorityStart);
    if (authorityEnd == std::string::npos)
        authorityEnd = url.size();
    std::string authority = url.substr(authorityStart, authorityEnd - authorityStart);
    size_t at = authority.rfind('@');
    if (at != std::string::npos)
        authority.erase(0, at + 1);

    ParsedUrl result;
    result.service = scheme->service;
    result.port = scheme->port;
    size_t colon = authority.rfind(':');
    if (colon != std::string::npos && authority.find(']', colon) == std::string::npos) {
        if (!ParsePort(authority.substr(colon + 1), result.port))
            return false;
        authority.erase(colon);
    }
    if (authority.empty())
        return false;
    result.server = authority;
    result.object = url.substr(authorityEnd);
    if (result.object.empty() || result.object[0] != '/')
        result.object.insert(0, "/");
    parsed = result;
    return true;
}

}  // namespace framework
