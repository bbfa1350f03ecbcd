#include "wininet_probe.h"

#include <cstdlib>
#include <vector>

#include "framework/handles.h"
#include "framework/url.h"

namespace {

std::optional<std::string> Query(HINTERNET request, DWORD level)
{
    std::vector<char> value(256);
    DWORD size = static_cast<DWORD>(value.size());
    if (!HttpQueryInfoA(request, level, value.data(), &size, nullptr)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return std::nullopt;
        value.resize(size + 1);
        if (!HttpQueryInfoA(request, level, value.data(), &size, nullptr))
            return std::nullopt;
    }
    return std::string(value.data(), size);
}

// Records the call that failed with its error, read before anything can change it.
ProbeResult& Fail(ProbeResult& result, const char* call)
{
    result.error = GetLastError();
    result.failedCall = call;
    return result;
}

void SetText(HINTERNET handle, DWORD option, const std::string& text)
{
    if (!text.empty())
        InternetSetOptionA(handle, option, const_cast<char*>(text.c_str()),
                           static_cast<DWORD>(text.size()));
}

}  // namespace

ProbeResult Probe(const ProbeRequest& request)
{
    ProbeResult result;
    framework::ParsedUrl url;
    if (!framework::ParseUrl(request.url, url)) {
        SetLastError(ERROR_INTERNET_INVALID_URL);
        return Fail(result, "ParseUrl");
    }
    bool secure = url.service == framework::InternetService::Https;

    framework::InternetHandle internet(InternetOpenA(
        "velnor-probe",
        request.proxy.empty() ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_PROXY,
        request.proxy.empty() ? nullptr : request.proxy.c_str(), nullptr, 0));
    if (!internet)
        return Fail(result, "InternetOpen");
    framework::InternetHandle connection(InternetConnectA(
        internet.get(), url.server.c_str(), url.port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection)
        return Fail(result, "InternetConnect");
    DWORD flags = request.flags | (secure ? INTERNET_FLAG_SECURE : 0) |
                  (request.followRedirects ? 0 : INTERNET_FLAG_NO_AUTO_REDIRECT);
    framework::InternetHandle http(HttpOpenRequestA(connection.get(), "GET", url.object.c_str(),
                                                    nullptr, nullptr, nullptr, flags, 0));
    if (!http)
        return Fail(result, "HttpOpenRequest");
    SetText(http.get(), INTERNET_OPTION_PROXY_USERNAME, request.proxyUser);
    SetText(http.get(), INTERNET_OPTION_PROXY_PASSWORD, request.proxyPassword);
    if (request.decode) {
        BOOL on = TRUE;
        if (!InternetSetOptionA(http.get(), INTERNET_OPTION_HTTP_DECODING, &on, sizeof on))
            return Fail(result, "InternetSetOption(INTERNET_OPTION_HTTP_DECODING)");
    }
    if (!HttpSendRequestA(http.get(), request.headers.c_str(), static_cast<DWORD>(request.headers.size()),
                          nullptr, 0))
        return Fail(result, "HttpSendRequest");

    result.status = std::strtoul(Query(http.get(), HTTP_QUERY_STATUS_CODE).value_or("0").c_str(), nullptr, 10);
    result.headers = Query(http.get(), HTTP_QUERY_RAW_HEADERS_CRLF).value_or("");
    result.contentLength = Query(http.get(), HTTP_QUERY_CONTENT_LENGTH);
    result.transferEncoding = Query(http.get(), HTTP_QUERY_TRANSFER_ENCODING);
    result.contentEncoding = Query(http.get(), HTTP_QUERY_CONTENT_ENCODING);
    result.location = Query(http.get(), HTTP_QUERY_LOCATION);
    std::vector<char> finalUrl(2048);
    DWORD size = static_cast<DWORD>(finalUrl.size());
    if (InternetQueryOptionA(http.get(), INTERNET_OPTION_URL, finalUrl.data(), &size))
        result.finalUrl.assign(finalUrl.data(), size);

    char block[65536];
    for (DWORD read = 0;; result.body.append(block, read)) {
        if (!InternetReadFile(http.get(), block, sizeof block, &read))
            return Fail(result, "InternetReadFile");
        if (read == 0)
            break;
    }
    return result;
}
