// An HTTP server on loopback and an ephemeral port, in the test's own
// process, scripted per request target. It records every request byte for
// byte, so that a test can assert what went over the wire.
#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <winsock2.h>

struct ScriptedResponse {
    std::string head;  // status line and header lines, each ending in CRLF; the blank line is added
    std::string body;
    size_t closeAfter = std::string::npos;  // body bytes sent before the connection is closed
    size_t pauseAfter = std::string::npos;  // body bytes sent before waiting for Resume()
    DWORD delayMs = 0;                      // before anything is sent
    DWORD dripMs = 0;     // when set, the body goes one byte at a time, this long apart
    DWORD headDripMs = 0; // when set, so does the head
    bool endless = false; // the body is sent again and again, until the peer or the server goes
    // Ranges as a static file server answers them: "Range: bytes=K-" gets a
    // 206 of the rest (a 416 when K is not inside the body), unless an
    // If-Range differs from validator. closeAfter then counts the rest.
    bool ranges = false;
    bool ignoresIfRange = false;  // honours Range whatever If-Range says, as some caches do
    std::string validator;     // the ETag or Last-Modified value
    std::string extraHeaders;  // of every answer: the validator's header line among them
};

// A response with Content-Length and "Connection: close" filled in.
ScriptedResponse Response(int status, const std::string& body, const std::string& extraHeaders = "");
// A file served with ranges under one validator header line, for example
// "ETag: \"v1\"" or "Last-Modified: ...".
ScriptedResponse RangedFile(const std::string& body, const std::string& validatorHeader);
// A response of exactly these bytes before the body.
ScriptedResponse RawResponse(const std::string& head, const std::string& body);

class HttpTestServer {
public:
    HttpTestServer();
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" + path
    std::string Url(const std::string& path) const;

    // The answer to every request whose target is exactly this text (the
    // path, or the absolute URL of a request sent through a proxy). Other
    // targets get 404.
    void Serve(const std::string& target, ScriptedResponse response);
    // Lets paused responses go on.
    void Resume();

    std::vector<std::string> Requests() const;
    // The targets of the requests received, in order.
    std::vector<std::string> Targets() const;
    // Body bytes of dripping and endless responses sent so far.
    size_t StreamedBytes() const { return streamed_; }
    // Body bytes of every response handed to the socket so far.
    size_t BodyBytesSent() const { return bodySent_; }

private:
    void AcceptLoop();
    void Handle(SOCKET connection);
    bool SendAll(SOCKET connection, const char* data, size_t size);
    bool WaitForResume();
    void SendBody(SOCKET connection, const ScriptedResponse& response);
    void Stream(SOCKET connection, const ScriptedResponse& response);

    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable resumed_;
    bool stopping_ = false;
    bool resume_ = false;
    std::atomic<size_t> streamed_{0};
    std::atomic<size_t> bodySent_{0};
    std::map<std::string, ScriptedResponse> responses_;
    std::vector<std::string> requests_;
    std::vector<SOCKET> connections_;
    std::vector<std::thread> handlers_;
    std::thread acceptor_;
};
