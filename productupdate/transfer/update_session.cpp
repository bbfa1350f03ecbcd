#include "update_session.h"

#include <optional>

#include "framework/debug_output.h"
#include "framework/output_file.h"
#include "framework/worker_thread.h"
#include "transfer_rules.h"

namespace {

constexpr DWORD_PTR kContext = 1;
// Every transfer comes from the server, and none is kept in the user's
// internet cache: that copy of each package would stay there for ever.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT |
                                INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_CACHE_WRITE;
constexpr UINT kChunk = 1023;
// A server that stops answering fails the transfer after this long, so that
// an unattended run always ends (the platform may otherwise wait for ever).
constexpr DWORD kNetworkTimeoutMs = 30000;

[[noreturn]] void Fail() { throw framework::Failure(); }

framework::ParsedUrl SplitHttpUrl(const std::string& url)
{
    framework::ParsedUrl parsed;
    if (!framework::ParseUrl(url, parsed) || parsed.service != framework::InternetService::Http)
        Fail();
    return parsed;
}

// The declared length of the body. Missing, unreadable and contradicting
// lengths all fail: without one, a body cut short cannot be told from a whole one.
std::uint64_t DeclaredLength(framework::HttpRequest& request)
{
    std::string text;
    DWORD index = 0;
    if (!request.QueryInfo(HTTP_QUERY_CONTENT_LENGTH, text, &index))
        Fail();
    std::optional<std::uint64_t> length = ParseContentLength(text);
    if (!length)
        Fail();
    for (std::string other; request.QueryInfo(HTTP_QUERY_CONTENT_LENGTH, other, &index);) {
        if (ParseContentLength(other) != length)
            Fail();
    }
    return *length;
}

// A notice that outlives the session that could not start: a posted message
// may arrive after the poster is gone.
const DownloadNotice kNoWorkerNotice = {1, TRUE, FALSE, 0};

void PostNoWorker(HWND window)
{
    if (IsWindow(window))
        PostMessageA(window, WM_DOWNLOAD_NOTICE, 0, reinterpret_cast<LPARAM>(&kNoWorkerNotice));
}

}  // namespace

UpdateSession::UpdateSession(const std::string& url, const std::string& file, HWND notifyWindow)
    : InternetSession("Orlith", kContext, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0),
      m_strUrl(url), m_hNotifyWnd(notifyWindow), m_strFile(file),
      m_deadlineFloorMs(kTransferDeadlineFloorMs)
{
}

int UpdateSession::Start()
{
    if (framework::StartWorkerThread(&DownloadThreadProc, this))
        return 0;
    PostNoWorker(m_hNotifyWnd);
    delete this;
    return 1;
}

unsigned __stdcall UpdateSession::DownloadThreadProc(void* parameter)
{
    auto* session = static_cast<UpdateSession*>(parameter);
    int result = 1;
    try {
        result = session->Download();
    } catch (...) {
        result = 1;  // nothing leaves the worker
    }
    DownloadNotice done = {1, result == 1, result == 0, 0};
    session->Notify(done);
    delete session;
    return static_cast<unsigned>(result);
}

void UpdateSession::Notify(const DownloadNotice& notice)
{
    if (IsWindow(m_hNotifyWnd))
        SendMessageA(m_hNotifyWnd, WM_DOWNLOAD_NOTICE, reinterpret_cast<WPARAM>(this),
                     reinterpret_cast<LPARAM>(&notice));
}

int UpdateSession::Download()
{
    DeleteUrlCacheEntryA(m_strUrl.c_str());
    framework::OutputFile file;
    if (!file.Open(m_strFile))
        return 1;
    try {
        Transfer(file);
        file.Close();  // a failed flush fails the transfer too
        return 0;
    } catch (...) {
        // The network, a full disk, a refusal, no memory: all fail the
        // transfer, which leaves no partial file.
        file.Abandon();
        DeleteFileA(m_strFile.c_str());
        return 1;
    }
}

void UpdateSession::Transfer(framework::OutputFile& file)
{
    const ULONGLONG start = GetTickCount64();
    DWORD status = 0;
    framework::HttpRequest* request = &SendRequest(SplitHttpUrl(m_strUrl), status);
    if (IsRedirectStatus(status))
        request = &FollowRedirect(*request);
    else if (!IsSuccessStatus(status))
        Fail();
    std::uint64_t total = DeclaredLength(*request);
    if (total > m_maxLength) {
        framework::DebugOutput("Declared length over the limit");
        Fail();
    }
    // A pinned package of another size is refused before its body is read.
    if (m_pin.size && *m_pin.size != total) {
        framework::DebugOutput("Package size mismatch");
        Fail();
    }
    const ULONGLONG deadline = start + TransferDeadlineMs(total, m_deadlineFloorMs);
    std::optional<framework::Sha256> digest;
    if (m_pin.digest)
        digest.emplace();

    // One notice per chunk of at most 1023 bytes, sent before the chunk is written.
    DownloadNotice progress = {1, FALSE, FALSE, 0};
    std::uint64_t received = 0;
    char chunk[kChunk + 1];
    while (UINT n = request->Read(chunk, kChunk)) {
        received += n;
        // More than was declared is a broken response, whatever its bytes.
        if (received > total)
            Fail();
        if (GetTickCount64() > deadline) {
            framework::DebugOutput("Transfer deadline passed");
            Fail();
        }
        progress.percent = ProgressPercent(received, total);
        Notify(progress);
        file.Write(chunk, n);
        if (digest)
            digest->Update(chunk, n);
    }
    // A body that ends before its declared length is a cut transfer, never
    // a whole file: a truncated package must not be recorded as an update.
    if (received < total)
        Fail();
    if (digest) {
        if (digest->Finish() != *m_pin.digest) {
            framework::DebugOutput("Package digest mismatch");
            Fail();
        }
        framework::DebugOutput("Package digest verified");
    }
}

framework::HttpRequest& UpdateSession::SendRequest(const framework::ParsedUrl& url, DWORD& status)
{
    OpenRequest& open = m_requests.emplace_back();
    open.connection = GetHttpConnection(url.server, url.port);
    open.request = open.connection->OpenRequest("GET", url.object, kContext, kRequestFlags);
    framework::HttpRequest& request = *open.request;
    // Set on the request itself: Wine does not hand a session's timeouts down.
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT})
        request.SetOption(option, kNetworkTimeoutMs);
    request.AddRequestHeaders(kHeaderBlock, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    request.SendRequest();
    if (!request.QueryInfoStatusCode(status))
        Fail();
    return request;
}

// Followed once: the second answer must be a plain 200.
framework::HttpRequest& UpdateSession::FollowRedirect(framework::HttpRequest& first)
{
    std::string headers;
    if (!first.QueryInfo(HTTP_QUERY_RAW_HEADERS_CRLF, headers))
        Fail();
    std::optional<std::string> location = FindRedirectLocation(headers);
    if (!location)
        Fail();
    DWORD status = 0;
    framework::HttpRequest& second = SendRequest(SplitHttpUrl(*location), status);
    if (status != 200)
        Fail();
    return second;
}

void LaunchUpdateSession(const std::string& url, const std::string& file, HWND notifyWindow,
                         const PackagePin& pin, std::uint64_t maxLength)
{
    UpdateSession* session;
    try {
        session = new UpdateSession(url, file, notifyWindow);
        session->m_pin = pin;
        session->m_maxLength = maxLength;
    } catch (...) {
        PostNoWorker(notifyWindow);
        return;
    }
    session->Start();
}
