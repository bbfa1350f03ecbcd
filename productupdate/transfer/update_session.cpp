#include "update_session.h"

#include <optional>

#include "framework/debug_output.h"
#include "framework/output_file.h"
#include "framework/worker_thread.h"
#include "kept_files.h"
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
    std::optional<framework::ParsedUrl> parsed = FetchableUrl(url);
    if (!parsed)
        Fail();
    return *parsed;
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
    Resume resume;
    if (m_resumable) {
        resume = PrepareResume();
        DeleteFileA(m_strFile.c_str());  // no file of an earlier run stands in for this one
    }
    const std::string written = m_resumable ? KeptBytesPath(m_strFile) : m_strFile;
    framework::OutputFile file;
    if (!(resume.length ? file.OpenToAppend(written) : file.Open(written)))
        return 1;
    try {
        Transfer(file, resume);
        file.Close();  // a failed flush fails the transfer too
        if (m_resumable)
            Complete();
        return 0;
    } catch (...) {
        // The network, a full disk, a refusal, no memory: all fail the
        // transfer, which leaves no partial file at the target's name. Bytes
        // of a cut package stay beside it when their record says what they are.
        if (keep_ && KeepCut(file))
            return 1;
        file.Abandon();
        DeleteFileA(written.c_str());
        if (m_resumable)
            DeleteKeptRecord(m_strFile);
        return 1;
    }
}

void UpdateSession::CheckStatus(DWORD status, bool redirected, const Resume& resume)
{
    // A ranged request may also be answered with the range or its refusal.
    bool ranged = resume.length > 0 && (status == 206 || status == 416);
    if (redirected ? status != 200 && !ranged : !IsSuccessStatus(status) && !ranged)
        Fail();
    if (resume.length && status == 416)
        RefuseResume("Package transfer resume refused: 416");
}

void UpdateSession::Transfer(framework::OutputFile& file, Resume& resume)
{
    const ULONGLONG start = GetTickCount64();
    keep_ = resume.length > 0;  // kept bytes stay until an answer refuses them
    const std::string extra =
        resume.length ? ResumeHeaders(resume.length, resume.kept.validator()) : std::string();
    DWORD status = 0;
    framework::HttpRequest* request = &SendRequest(SplitHttpUrl(m_strUrl), status, extra);
    bool redirected = IsRedirectStatus(status);
    if (redirected)
        request = &FollowRedirect(*request, extra, status);
    CheckStatus(status, redirected, resume);
    std::uint64_t declared = DeclaredLength(*request);
    Body body = resume.length ? ContinueOrRestart(*request, status, declared, file, resume)
                              : Body{0, declared};
    if (body.total > m_maxLength) {
        framework::DebugOutput("Declared length over the limit");
        Fail();
    }
    // A pinned package of another size is refused before its body is read.
    if (m_pin.size && *m_pin.size != body.total) {
        framework::DebugOutput("Package size mismatch");
        Fail();
    }
    if (m_resumable)
        KeepFrom(*request, body);
    const ULONGLONG deadline = start + TransferDeadlineMs(declared, m_deadlineFloorMs);
    std::unique_ptr<framework::Sha256> digest = StartDigest(resume, body);

    // One notice per chunk of at most 1023 bytes, sent before the chunk is
    // written; a continued transfer starts at the share already kept.
    DownloadNotice progress = {1, FALSE, FALSE, 0};
    std::uint64_t received = body.received;
    if (received > 0) {
        progress.percent = ProgressPercent(received, body.total);
        Notify(progress);
    }
    char chunk[kChunk + 1];
    while (UINT n = request->Read(chunk, kChunk)) {
        received += n;
        // More than was declared is a broken response, whatever its bytes.
        if (received > body.total) {
            keep_ = false;
            Fail();
        }
        if (GetTickCount64() > deadline) {
            framework::DebugOutput("Transfer deadline passed");
            Fail();
        }
        progress.percent = ProgressPercent(received, body.total);
        Notify(progress);
        file.Write(chunk, n);
        if (digest)
            digest->Update(chunk, n);
    }
    // A body that ends before its declared length is a cut transfer, never
    // a whole file: a truncated package must not be recorded as an update.
    if (received < body.total)
        Fail();
    if (digest) {
        if (digest->Finish() != *m_pin.digest) {
            keep_ = false;  // the whole file is wrong: none of it is worth keeping
            framework::DebugOutput("Package digest mismatch");
            Fail();
        }
        framework::DebugOutput("Package digest verified");
    }
}

// The digest of a pinned package covers the whole file: a continuation goes
// on from the kept bytes' digest, a body from byte 0 starts anew.
std::unique_ptr<framework::Sha256> UpdateSession::StartDigest(Resume& resume, const Body& body)
{
    if (!m_pin.digest)
        return nullptr;
    if (body.received > 0)
        return std::move(resume.digest);
    return std::make_unique<framework::Sha256>();
}

framework::HttpRequest& UpdateSession::SendRequest(const framework::ParsedUrl& url, DWORD& status,
                                                   const std::string& extraHeaders)
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
    if (!extraHeaders.empty())
        request.AddRequestHeaders(extraHeaders.c_str(), static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD);
    request.SendRequest();
    if (!request.QueryInfoStatusCode(status))
        Fail();
    return request;
}

// Followed once, with the same extra headers; the caller checks the second
// answer's status.
framework::HttpRequest& UpdateSession::FollowRedirect(framework::HttpRequest& first,
                                                      const std::string& extraHeaders, DWORD& status)
{
    std::string headers;
    if (!first.QueryInfo(HTTP_QUERY_RAW_HEADERS_CRLF, headers))
        Fail();
    std::optional<std::string> location = FindRedirectLocation(headers);
    if (!location)
        Fail();
    return SendRequest(SplitHttpUrl(*location), status, extraHeaders);
}

void LaunchUpdateSession(const std::string& url, const std::string& file, HWND notifyWindow,
                         const PackagePin& pin, std::uint64_t maxLength, bool resumable)
{
    UpdateSession* session;
    try {
        session = new UpdateSession(url, file, notifyWindow);
        session->m_pin = pin;
        session->m_maxLength = maxLength;
        session->m_resumable = resumable;
    } catch (...) {
        PostNoWorker(notifyWindow);
        return;
    }
    session->Start();
}
