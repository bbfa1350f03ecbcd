#include "internet.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "internet_error.h"
#include "worker_thread.h"

namespace framework {

namespace {
// One block read from WinINet serves several reads of a 1 KiB chunk.
constexpr size_t kBlockSize = 64 * 1024;
// WinINet's own read buffer: InternetQueryDataAvailable reports no more than
// this, however much more the connection holds.
constexpr DWORD kPlatformReadBuffer = 8 * 1024;

Failure NetworkFailure() { return LastErrorFailure(FailureKind::Network); }

// A send on a thread of its own, which may outlive the request's owner.
struct PendingSend {
    HINTERNET request = nullptr;
    Handle done{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    BOOL sent = FALSE;
    DWORD error = 0;
};

unsigned __stdcall SendOnItsOwn(void* parameter)
{
    std::unique_ptr<std::shared_ptr<PendingSend>> shared(
        static_cast<std::shared_ptr<PendingSend>*>(parameter));
    PendingSend& send = **shared;
    send.sent = HttpSendRequestA(send.request, nullptr, 0, nullptr, 0);
    send.error = send.sent ? 0 : GetLastError();
    SetEvent(send.done.get());
    return 0;
}

}  // namespace

InternetSession::InternetSession(const char* agent, DWORD_PTR context, DWORD accessType,
                                 const char* proxy, const char* proxyBypass, DWORD flags)
    : handle_(InternetOpenA(agent, accessType, proxy, proxyBypass, flags)), context_(context)
{
    if (!handle_)
        throw LastErrorFailure(FailureKind::System);
}

void HttpRequest::SetOption(DWORD option, DWORD value)
{
    InternetSetOptionA(handle_.get(), option, &value, sizeof value);
}

std::unique_ptr<HttpConnection> InternetSession::GetHttpConnection(const std::string& server,
                                                                   INTERNET_PORT port)
{
    HINTERNET connection = InternetConnectA(handle_.get(), server.c_str(), port, nullptr, nullptr,
                                            INTERNET_SERVICE_HTTP, 0, context_);
    if (!connection)
        throw NetworkFailure();
    return std::make_unique<HttpConnection>(connection);
}

std::unique_ptr<HttpRequest> HttpConnection::OpenRequest(const char* verb, const std::string& object,
                                                         DWORD_PTR context, DWORD flags)
{
    HINTERNET request = HttpOpenRequestA(handle_.get(), verb, object.c_str(), nullptr, nullptr,
                                         nullptr, flags, context);
    if (!request)
        throw NetworkFailure();
    return std::make_unique<HttpRequest>(request);
}

bool HttpRequest::AddRequestHeaders(const char* headers, DWORD length, DWORD flags)
{
    return HttpAddRequestHeadersA(handle_.get(), headers, length, flags) != FALSE;
}

bool HttpRequest::SendRequest(DWORD timeoutMs)
{
    auto send = std::make_shared<PendingSend>();
    send->request = handle_.get();
    auto* parameter = new std::shared_ptr<PendingSend>(send);
    if (!send->done || !StartWorkerThread(&SendOnItsOwn, parameter)) {
        delete parameter;
        throw LastErrorFailure(FailureKind::System);
    }
    if (WaitForSingleObject(send->done.get(), timeoutMs) != WAIT_OBJECT_0) {
        // Given up: the thread keeps what it needs and ends with the call.
        InternetCloseHandle(handle_.release());
        return false;
    }
    if (!send->sent) {
        SetLastError(send->error);
        throw NetworkFailure();
    }
    return true;
}

bool HttpRequest::QueryInfoStatusCode(DWORD& status)
{
    DWORD size = sizeof status;
    return HttpQueryInfoA(handle_.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                          &size, nullptr) != FALSE;
}

bool HttpRequest::QueryInfo(DWORD level, std::string& value, DWORD* index)
{
    std::vector<char> buffer(1024);
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD start = index ? *index : 0;
        if (HttpQueryInfoA(handle_.get(), level, buffer.data(), &size, index ? index : nullptr)) {
            value.assign(buffer.data(), size);
            return true;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return false;
        if (index)
            *index = start;
        buffer.resize(static_cast<size_t>(size) + 1);
    }
}

bool HttpRequest::Refill()
{
    if (block_.empty())
        block_.resize(kBlockSize);
    // Waits until something has arrived, then takes only that much: a read of
    // more would wait for the rest, and hold back the progress of what is here.
    DWORD available = 0;
    if (!InternetQueryDataAvailable(handle_.get(), &available, 0, 0))
        throw NetworkFailure();
    DWORD wanted = std::min<DWORD>(available, static_cast<DWORD>(block_.size()));
    DWORD got = 0;
    if (wanted > 0 && !InternetReadFile(handle_.get(), block_.data(), wanted, &got))
        throw NetworkFailure();
    senderAhead_ = available >= kPlatformReadBuffer;
    blockStart_ = 0;
    blockEnd_ = got;
    return got > 0;
}

UINT HttpRequest::Read(void* buffer, UINT size)
{
    // A full WinINet buffer means the sender is ahead: the rest of a chunk is
    // coming at once. Short of that, the bytes in hand go out rather than wait,
    // as the sender may be pausing. (Wine waits on IRF_NO_WAIT when its buffer
    // is empty, so that cannot tell the two apart.)
    auto* out = static_cast<char*>(buffer);
    UINT got = 0;
    while (got < size) {
        if (blockStart_ == blockEnd_ && ((got > 0 && !senderAhead_) || !Refill()))
            break;
        UINT n = static_cast<UINT>(std::min<size_t>(size - got, blockEnd_ - blockStart_));
        std::memcpy(out + got, block_.data() + blockStart_, n);
        blockStart_ += n;
        got += n;
    }
    return got;
}

}  // namespace framework
