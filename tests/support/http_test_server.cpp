#include "http_test_server.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <stdexcept>

namespace {

const char* Reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 404: return "Not Found";
    case 416: return "Range Not Satisfiable";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

std::string TargetOf(const std::string& request)
{
    size_t first = request.find(' ');
    size_t second = request.find(' ', first + 1);
    if (first == std::string::npos || second == std::string::npos)
        return {};
    std::string target = request.substr(first + 1, second - first - 1);
    // Through a proxy the target is a whole URL; Wine names the default port in it.
    if (target.compare(0, 7, "http://") == 0) {
        size_t port = target.find(":80/", 7);
        if (port != std::string::npos && port < target.find('/', 7))
            target.erase(port, 3);
    }
    return target;
}

// The value of a request header, spelled as WinINet sends it.
std::string HeaderValue(const std::string& request, const std::string& name)
{
    std::string key = "\r\n" + name + ": ";
    size_t at = request.find(key);
    if (at == std::string::npos)
        return {};
    at += key.size();
    return request.substr(at, request.find("\r\n", at) - at);
}

// What a ranged file answers to this request.
ScriptedResponse ApplyRange(const std::string& request, const ScriptedResponse& file)
{
    std::string range = HeaderValue(request, "Range");
    std::string ifRange = HeaderValue(request, "If-Range");
    if (range.compare(0, 6, "bytes=") != 0 || range.back() != '-' ||
        (!ifRange.empty() && ifRange != file.validator && !file.ignoresIfRange))
        return file;
    size_t from = std::stoul(range.substr(6));
    if (from >= file.body.size())
        return Response(416, "", "Content-Range: bytes */" + std::to_string(file.body.size()) + "\r\n");
    ScriptedResponse part = Response(206, file.body.substr(from), file.extraHeaders +
        "Content-Range: bytes " + std::to_string(from) + "-" + std::to_string(file.body.size() - 1) +
        "/" + std::to_string(file.body.size()) + "\r\n");
    part.closeAfter = file.closeAfter;
    return part;
}

}  // namespace

ScriptedResponse RangedFile(const std::string& body, const std::string& validatorHeader)
{
    ScriptedResponse file = Response(200, body, validatorHeader + "\r\n");
    file.ranges = true;
    file.validator = validatorHeader.substr(validatorHeader.find(": ") + 2);
    file.extraHeaders = validatorHeader + "\r\n";
    return file;
}

ScriptedResponse Response(int status, const std::string& body, const std::string& extraHeaders)
{
    ScriptedResponse response;
    response.head = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n" +
                    "Content-Length: " + std::to_string(body.size()) + "\r\n" +
                    "Connection: close\r\n" + extraHeaders;
    response.body = body;
    return response;
}

ScriptedResponse RawResponse(const std::string& head, const std::string& body)
{
    ScriptedResponse response;
    response.head = head;
    response.body = body;
    return response;
}

HttpTestServer::HttpTestServer()
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int size = sizeof address;
    if (listener_ == INVALID_SOCKET ||
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, SOMAXCONN) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::runtime_error("cannot listen on loopback");
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

HttpTestServer::~HttpTestServer()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        for (SOCKET connection : connections_)
            shutdown(connection, SD_BOTH);
    }
    resumed_.notify_all();
    closesocket(listener_);
    acceptor_.join();
    for (std::thread& handler : handlers_)
        handler.join();
    WSACleanup();
}

std::string HttpTestServer::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void HttpTestServer::Serve(const std::string& target, ScriptedResponse response)
{
    std::lock_guard<std::mutex> lock(mutex_);
    responses_[target] = std::move(response);
}

void HttpTestServer::Resume()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        resume_ = true;
    }
    resumed_.notify_all();
}

std::vector<std::string> HttpTestServer::Requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<std::string> HttpTestServer::Targets() const
{
    std::vector<std::string> targets;
    for (const std::string& request : Requests())
        targets.push_back(TargetOf(request));
    return targets;
}

void HttpTestServer::AcceptLoop()
{
    for (;;) {
        SOCKET connection = accept(listener_, nullptr, nullptr);
        if (connection == INVALID_SOCKET)
            return;  // the listener was closed
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
            closesocket(connection);
            return;
        }
        connections_.push_back(connection);
        handlers_.emplace_back([this, connection] { Handle(connection); });
    }
}

bool HttpTestServer::SendAll(SOCKET connection, const char* data, size_t size)
{
    while (size > 0) {
        int n = send(connection, data, static_cast<int>(std::min<size_t>(size, 1 << 16)), 0);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool HttpTestServer::WaitForResume()
{
    std::unique_lock<std::mutex> lock(mutex_);
    resumed_.wait(lock, [this] { return resume_ || stopping_; });
    return !stopping_;
}

void HttpTestServer::Stream(SOCKET connection, const ScriptedResponse& response)
{
    if (response.body.empty())
        return;
    do {
        for (size_t at = 0; at < response.body.size();) {
            size_t n = response.dripMs ? 1 : response.body.size() - at;
            if (stopping_ || !SendAll(connection, response.body.data() + at, n))
                return;
            at += n;
            streamed_ += n;
            if (response.dripMs)
                Sleep(response.dripMs);
        }
    } while (response.endless);
}

void HttpTestServer::SendBody(SOCKET connection, const ScriptedResponse& response)
{
    size_t bodyEnd = std::min(response.body.size(), response.closeAfter);
    size_t pause = std::min(response.pauseAfter, bodyEnd);
    if (!SendAll(connection, response.body.data(), pause))
        return;
    bodySent_ += pause;
    if (pause < bodyEnd && WaitForResume() &&
        SendAll(connection, response.body.data() + pause, bodyEnd - pause))
        bodySent_ += bodyEnd - pause;
    else if (response.pauseAfter != std::string::npos && pause == bodyEnd)
        WaitForResume();  // a stall after everything that is sent
}

void HttpTestServer::Handle(SOCKET connection)
{
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        int n = recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        request.append(buffer, static_cast<size_t>(n));
    }
    ScriptedResponse response = Response(404, "not found");
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
        auto found = responses_.find(TargetOf(request));
        if (found != responses_.end())
            response = found->second.ranges ? ApplyRange(request, found->second) : found->second;
    }
    if (response.delayMs)
        Sleep(response.delayMs);

    std::string head = response.head + "\r\n";
    bool headSent = true;
    for (size_t at = 0; headSent && at < head.size();) {
        size_t n = response.headDripMs ? 1 : head.size();
        headSent = !stopping_ && SendAll(connection, head.data() + at, n);
        at += n;
        if (response.headDripMs)
            Sleep(response.headDripMs);
    }
    if (headSent) {
        if (response.dripMs || response.endless)
            Stream(connection, response);
        else
            SendBody(connection, response);
    }

    shutdown(connection, SD_SEND);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        connections_.erase(std::find(connections_.begin(), connections_.end(), connection));
    }
    closesocket(connection);
}
