#include "update_session.h"

#include <algorithm>
#include <optional>

#include "framework/debug_output.h"
#include "framework/internet_error.h"
#include "framework/output_file.h"
#include "framework/worker_thread.h"
#include "kept_files.h"
#include "transfer_failure.h"
#include "transfer_rules.h"

namespace {

constexpr DWORD_PTR kContext = 1;
// Every transfer comes from the network, and none is kept in the user's
// internet cache: that copy of each package would stay there for ever.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT |
                                INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_CACHE_WRITE;
constexpr UINT kChunk = 1023;
// A server that stops answering fails the transfer after this long, so that
// an unattended run always ends (the platform may otherwise wait for ever).
constexpr DWORD kNetworkTimeoutMs = 30000;

std::string Header(framework::HttpRequest& request, DWORD level)
{
    std::string value;
    if (!request.QueryInfo(level, value))
        value.clear();
    return value;
}

// The declared length of the body; nothing when there is none. Unreadable
// and contradicting lengths fail: they cannot tell a whole body from a cut one.
std::optional<std::uint64_t> DeclaredLength(framework::HttpRequest& request)
{
    std::string text;
    DWORD index = 0;
    if (!request.QueryInfo(HTTP_QUERY_CONTENT_LENGTH, text, &index))
        return std::nullopt;
    std::optional<std::uint64_t> length = ParseContentLength(text);
    for (std::string other; length && request.QueryInfo(HTTP_QUERY_CONTENT_LENGTH, other, &index);) {
        if (ParseContentLength(other) != length)
            length.reset();
    }
    if (!length)
        Refuse("Transfer refused: Content-Length unreadable");
    return length;
}

std::string StatusRefusal(DWORD status, const std::string& url)
{
    if (status == HTTP_STATUS_PROXY_AUTH_REQ)
        return "Transfer refused: the proxy asks for credentials (HTTP status 407)";
    return "Transfer refused: HTTP status " + std::to_string(status) + " (" + url + ")";
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
    if (!(resume.length ? file.OpenToAppend(written) : file.Open(written))) {
        framework::DebugOutput("Transfer failed: " + framework::ErrorText(GetLastError()) +
                               " (creating " + written + ")");
        return 1;
    }
    try {
        Transfer(file, resume);
        file.Close();  // a failed flush fails the transfer too
        if (m_resumable)
            Complete();
        return 0;
    } catch (const TransferFailure& failure) {
        framework::DebugOutput(failure.what());
        return Failed(file, written, failure.kind() == framework::FailureKind::Network);
    } catch (const framework::Failure& failure) {
        bool local = failure.kind() == framework::FailureKind::LocalFile;
        framework::DebugOutput("Transfer failed: " + std::string(failure.what()) +
                               (local ? " (writing " + written + ")" : " (" + m_strAsked + ")"));
        return Failed(file, written, failure.kind() == framework::FailureKind::Network);
    } catch (...) {
        framework::DebugOutput("Transfer failed: out of memory");
        return Failed(file, written, false);
    }
}

// Every failure leaves no partial file at the target's name. Only the
// network's (a cut, the deadline) keeps the bytes received beside it, and
// only when their record says what they are: a refused answer is worth
// nothing, and bytes that met a full disk would only fill it again.
int UpdateSession::Failed(framework::OutputFile& file, const std::string& written, bool cut)
{
    if (cut && m_keep && KeepCut(file))
        return 1;
    file.Abandon();
    DeleteFileA(written.c_str());
    if (m_resumable)
        DeleteKeptRecord(m_strFile);
    return 1;
}

void UpdateSession::Transfer(framework::OutputFile& file, Resume& resume)
{
    m_start = GetTickCount64();
    m_deadline = m_start + m_deadlineFloorMs;  // until the body's length is known
    // Only a pinned digest can tell a cache's stale copy from the package.
    bool fromOrigin = !m_pin.digest;
    for (;;) {
        Retry retry = TransferOnce(file, resume, fromOrigin);
        if (retry == Retry::None)
            return;
        // Each retry happens at most once: the next attempt has no kept
        // bytes, and asks the origin itself.
        fromOrigin = fromOrigin || retry == Retry::FromOrigin;
        m_keep = false;
        resume = Resume{};
        DeleteKeptRecord(m_strFile);
        file.Restart();
    }
}

UpdateSession::Retry UpdateSession::TransferOnce(framework::OutputFile& file, Resume& resume,
                                                 bool fromOrigin)
{
    std::string extra = fromOrigin ? kNoCacheHeaders : "";
    if (resume.length)
        extra += ResumeHeaders(resume.length, resume.kept.validator());
    Answer answer = resume.length ? AskForTheRest(extra) : Ask(extra);
    CheckStatus(answer, resume);
    CheckEncoding(*answer.request);
    std::optional<std::uint64_t> declared = DeclaredLength(*answer.request);
    if (!declared && !HasHeaderLines(Header(*answer.request, HTTP_QUERY_RAW_HEADERS_CRLF)))
        Refuse("Transfer refused: the answer is not HTTP/1.x (" + m_strAsked + ")");
    std::optional<Body> body =
        resume.length ? ContinueOrRestart(*answer.request, answer.status, declared, file, resume)
                      : Measure(declared);
    if (!body)
        return Retry::StartOver;
    if (body->whole && body->total > m_maxLength)
        Refuse(kOverTheLimit);
    // A pinned package of another size is refused before its body is read;
    // a cache on the way may hold an older file of another size under this
    // URL, so that answer is first asked of the origin itself.
    if (m_pin.size && *m_pin.size != body->total) {
        if (!fromOrigin) {
            framework::DebugOutput(std::string(kSizeMismatch) + ": asking the origin server");
            return Retry::FromOrigin;
        }
        Refuse(kSizeMismatch);
    }
    if (m_resumable)
        KeepFrom(*answer.request, *body);
    m_deadline = m_start + TransferDeadlineMs(body->total, m_deadlineFloorMs);

    std::unique_ptr<framework::Sha256> digest = StartDigest(resume, *body);
    Receive(*answer.request, *body, file, digest.get());
    if (digest) {
        if (digest->Finish() == *m_pin.digest) {
            framework::DebugOutput(kDigestVerified);
        } else if (!fromOrigin) {
            // A cache on the way may hold an older file under this URL.
            framework::DebugOutput(std::string(kDigestMismatch) + ": asking the origin server");
            return Retry::FromOrigin;
        } else {
            m_keep = false;  // the whole file is wrong: none of it is worth keeping
            Refuse(kDigestMismatch);
        }
    }
    return Retry::None;
}

// One notice per chunk of at most 1023 bytes, sent before the chunk is
// written; a continued transfer starts at the share already kept.
void UpdateSession::Receive(framework::HttpRequest& request, const Body& body,
                            framework::OutputFile& file, framework::Sha256* digest)
{
    DownloadNotice progress = {1, FALSE, FALSE, 0};
    std::uint64_t received = body.received;
    if (received > 0) {
        progress.percent = ProgressPercent(received, body.total);
        Notify(progress);
    }
    char chunk[kChunk + 1];
    while (UINT n = request.Read(chunk, kChunk)) {
        received += n;
        // More than was declared is a broken response, whatever its bytes.
        if (received > body.total) {
            m_keep = false;
            Refuse(body.whole ? "Transfer refused: the body is longer than its length"
                              : "Transfer refused: the body is longer than " +
                                    std::to_string(body.total) + " bytes");
        }
        if (GetTickCount64() > m_deadline)
            Cut(kDeadlinePassed);
        progress.percent = body.whole ? ProgressPercent(received, body.total) : 0;
        Notify(progress);
        file.Write(chunk, n);
        if (digest)
            digest->Update(chunk, n);
    }
    // A body that ends before its length is a cut transfer, never a whole
    // file: a truncated package must not be recorded as an update.
    if (body.whole && received < body.total)
        Cut("Transfer failed: the body ended at byte " + std::to_string(received) + " of " +
            std::to_string(body.total) + " (" + m_strAsked + ")");
}

UpdateSession::Body UpdateSession::Measure(std::optional<std::uint64_t> declared)
{
    if (declared)
        return {0, *declared};
    if (m_pin.size)
        return {0, *m_pin.size};
    if (m_maxLength != std::numeric_limits<std::uint64_t>::max())
        return {0, m_maxLength, false};
    Refuse("Transfer refused: no Content-Length, and no pinned size to check the body against (" +
           m_strAsked + ")");
}

void UpdateSession::CheckStatus(const Answer& answer, const Resume& resume)
{
    // A ranged request may also be answered with the range or its refusal.
    bool ranged = resume.length > 0 && (answer.status == 206 || answer.status == 416);
    bool accepted = answer.redirected ? answer.status == 200 : IsSuccessStatus(answer.status);
    if (!accepted && !ranged)
        Refuse(StatusRefusal(answer.status, m_strAsked));
    if (resume.length && answer.status == 416)
        RefuseResume("416");
}

// The module asks for no encoding: a body in any other than the file's own
// would be parsed, or kept, as something it is not.
void UpdateSession::CheckEncoding(framework::HttpRequest& request)
{
    std::string encoding = Header(request, HTTP_QUERY_CONTENT_ENCODING);
    if (!IsIdentityEncoding(encoding))
        Refuse("Transfer refused: Content-Encoding " + encoding + " (" + m_strAsked + ")");
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

UpdateSession::Answer UpdateSession::Ask(const std::string& extraHeaders)
{
    std::optional<framework::ParsedUrl> url = FetchableUrl(m_strUrl);
    m_strAsked = m_strUrl;
    if (!url)
        Refuse("Transfer refused: not an http or https URL (" + m_strUrl + ")");
    std::vector<std::string> visited = {m_strUrl};
    Answer answer = {nullptr, 0, false};
    for (int redirects = 0;; ++redirects) {
        answer.request = &SendRequest(*url, extraHeaders, answer.status);
        if (!IsRedirectStatus(answer.status))
            return answer;
        if (redirects == kMaxRedirects)
            Refuse("Transfer refused: more than " + std::to_string(kMaxRedirects) + " redirects (" +
                   m_strAsked + ")");
        std::string location;
        if (!answer.request->QueryInfo(HTTP_QUERY_LOCATION, location))
            Refuse("Transfer refused: a redirect without a Location (" + m_strAsked + ")");
        std::optional<std::string> next = ResolveLocation(m_strAsked, location);
        std::optional<framework::ParsedUrl> target = next ? FetchableUrl(*next) : std::nullopt;
        if (!target)
            Refuse("Transfer refused: a redirect to no http or https URL (" + m_strAsked + " to " +
                   location + ")");
        if (std::optional<std::string> why = RedirectRefusal(*url, *target))
            Refuse("Transfer refused: " + *why + " (" + m_strAsked + " to " + *next + ")");
        if (std::find(visited.begin(), visited.end(), *next) != visited.end())
            Refuse("Transfer refused: a redirect loop (" + m_strAsked + " to " + *next + ")");
        visited.push_back(*next);
        url = target;
        m_strAsked = *next;
        answer.redirected = true;
    }
}

DWORD UpdateSession::RemainingMs() const
{
    ULONGLONG now = GetTickCount64();
    return now >= m_deadline ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(m_deadline - now, INFINITE - 1));
}

framework::HttpRequest& UpdateSession::SendRequest(const framework::ParsedUrl& url,
                                                   const std::string& extraHeaders, DWORD& status)
{
    OpenRequest& open = m_requests.emplace_back();
    open.connection = GetHttpConnection(url.server, url.port);
    DWORD secure = url.service == framework::InternetService::Https ? INTERNET_FLAG_SECURE : 0;
    open.request = open.connection->OpenRequest("GET", url.object, kContext, kRequestFlags | secure);
    framework::HttpRequest& request = *open.request;
    // Set on the request itself: Wine does not hand a session's timeouts down.
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT})
        request.SetOption(option, kNetworkTimeoutMs);
    request.AddRequestHeaders(kHeaderBlock, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    if (!extraHeaders.empty())
        request.AddRequestHeaders(extraHeaders.c_str(), static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD);
    // The deadline holds from the request on: a head that drips never outlives it.
    if (RemainingMs() == 0 || !request.SendRequest(RemainingMs()))
        Cut(kDeadlinePassed);
    if (!request.QueryInfoStatusCode(status))
        Refuse("Transfer refused: the answer has no status (" + m_strAsked + ")");
    return request;
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
