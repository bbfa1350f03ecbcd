#include "bare_request.h"

#include <stdexcept>

#include "framework/url.h"

namespace {

constexpr DWORD kSessionFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_AUTO_REDIRECT;

[[noreturn]] void Fail(const std::string& what)
{
    throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

}  // namespace

BareRequest::BareRequest(const std::string& url)
{
    framework::ParsedUrl parsed;
    if (!framework::ParseUrl(url, parsed) || parsed.service != framework::InternetService::Http)
        throw std::runtime_error("not an http URL: " + url);
    DeleteUrlCacheEntryA(url.c_str());
    internet_.reset(InternetOpenA("Orlith", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet_)
        Fail("InternetOpenA");
    connection_.reset(InternetConnectA(internet_.get(), parsed.server.c_str(), parsed.port, nullptr,
                                       nullptr, INTERNET_SERVICE_HTTP, 0, 1));
    if (!connection_)
        Fail("InternetConnectA");
    request_.reset(HttpOpenRequestA(connection_.get(), "GET", parsed.object.c_str(), nullptr, nullptr,
                                    nullptr, kSessionFlags, 1));
    if (!request_)
        Fail("HttpOpenRequestA");
    if (!HttpSendRequestA(request_.get(), nullptr, 0, nullptr, 0))
        Fail("HttpSendRequestA");
    DWORD status = 0, length = 0, size = sizeof status;
    if (!HttpQueryInfoA(request_.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &size, nullptr) || status != 200)
        throw std::runtime_error("status " + std::to_string(status) + " for " + url);
    size = sizeof length;
    if (!HttpQueryInfoA(request_.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length,
                        &size, nullptr))
        Fail("no Content-Length");
    length_ = length;
}

DWORD BareRequest::Read(void* buffer, DWORD size)
{
    DWORD got = 0;
    if (!InternetReadFile(request_.get(), buffer, size, &got))
        Fail("InternetReadFile");
    return got;
}
