// An internet session, connection and HTTP request over WinINet. Every
// failure of the platform is raised as framework::Failure.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "failure.h"
#include "handles.h"

namespace framework {

class HttpRequest;

class HttpConnection {
public:
    explicit HttpConnection(HINTERNET handle) : handle_(handle) {}

    // Raises Failure when the request cannot be opened.
    std::unique_ptr<HttpRequest> OpenRequest(const char* verb, const std::string& object,
                                             DWORD_PTR context, DWORD flags);

private:
    InternetHandle handle_;
};

class HttpRequest {
public:
    explicit HttpRequest(HINTERNET handle) : handle_(handle) {}

    // Sets a numeric option of the request, a timeout say.
    void SetOption(DWORD option, DWORD value);
    bool AddRequestHeaders(const char* headers, DWORD length, DWORD flags);
    // Sends the request and waits for the response's head at most timeoutMs.
    // False when it has not come by then: the request is given up and its
    // handle closed (a server that drips its head can hold the platform's
    // call far beyond any timeout of its own, and closing the handle does not
    // end that call everywhere, so the call runs on a thread of its own).
    // Raises Failure when the platform fails the request.
    bool SendRequest(DWORD timeoutMs);
    // False when the status cannot be read as a number.
    bool QueryInfoStatusCode(DWORD& status);
    // False when the response has no such header.
    bool QueryInfo(DWORD level, std::string& value, DWORD* index = nullptr);

    // Reads up to size bytes: all of them while they are there, fewer rather
    // than wait with some in hand, 0 only at the end of the body. The body is
    // taken from WinINet in blocks of what it holds, so that small reads do
    // not each cost a call into it. Raises Failure when a read fails.
    UINT Read(void* buffer, UINT size);

private:
    bool Refill();  // waits for bytes; false at the end of the body

    InternetHandle handle_;
    std::vector<char> block_;
    size_t blockStart_ = 0;
    size_t blockEnd_ = 0;
    bool senderAhead_ = false;  // the last refill found WinINet's buffer full
};

class InternetSession {
public:
    // Raises Failure when the system internet handle cannot be opened.
    InternetSession(const char* agent, DWORD_PTR context, DWORD accessType, const char* proxy,
                    const char* proxyBypass, DWORD flags);
    virtual ~InternetSession() = default;
    InternetSession(const InternetSession&) = delete;
    InternetSession& operator=(const InternetSession&) = delete;

    // Raises Failure when the connection cannot be opened.
    std::unique_ptr<HttpConnection> GetHttpConnection(const std::string& server,
                                                      INTERNET_PORT port);

private:
    InternetHandle handle_;
    DWORD_PTR context_;
};

}  // namespace framework
