// A download session: fetches one http:// or https:// URL into one file on a
// worker thread of its own, and reports progress and the outcome to one
// window by synchronous WM_DOWNLOAD_NOTICE messages. The worker deletes the
// session after its completion notice; nothing waits for it or stops it. A
// failed transfer writes one trace line that says why.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "download_notice.h"
#include "framework/crypto.h"
#include "framework/internet.h"
#include "framework/url.h"
#include "kept_transfer.h"
#include "package_pin.h"

namespace framework {
class OutputFile;
}

class UpdateSession : public framework::InternetSession {
public:
    // Raises framework::Failure when the system internet handle cannot be opened.
    UpdateSession(const std::string& url, const std::string& file, HWND notifyWindow);

    // Starts the worker: 0 when it runs, 1 when it could not be started. Either
    // way the session then belongs to itself: when no worker runs, the window
    // is told of a failed transfer by a posted notice and the session is gone.
    int Start();

    std::string m_strUrl;
    HWND m_hNotifyWnd;
    std::string m_strFile;
    // Checked as the bytes arrive, when the manifest gave one. A pinned digest
    // tells a stale copy from the right one, so caches on the way may answer
    // for such a package (once, before it is asked of the origin itself);
    // every other request asks the origin server.
    PackagePin m_pin;
    // A longer body fails. A body without a declared length is read up to
    // this limit; a session without a limit reads one only against the pin's
    // size, since a body cut short could not be told from a whole one.
    std::uint64_t m_maxLength = std::numeric_limits<std::uint64_t>::max();
    // The floor of the transfer's overall deadline (see TransferDeadlineMs).
    std::uint64_t m_deadlineFloorMs;
    // A package: a cut transfer keeps its bytes beside the file for the next
    // run, which asks only for the rest (see kept_files.h). The file itself
    // appears only once it is whole.
    bool m_resumable = false;

private:
    // A request and its connection, closed only with the session, after the
    // completion notice: Wine's WinINet reads what is left of a body when its
    // request closes, so an endless body that was refused would otherwise
    // hold the run until it ends.
    struct OpenRequest {
        std::unique_ptr<framework::HttpConnection> connection;
        std::unique_ptr<framework::HttpRequest> request;
    };
    // The response a request came to, after its redirects.
    struct Answer {
        framework::HttpRequest* request;
        DWORD status;
        bool redirected;
    };
    // Kept bytes that this transfer may continue: their length (0 for none),
    // their record, and for a pinned package the digest of those bytes.
    struct Resume {
        std::uint64_t length = 0;
        KeptTransfer kept;
        std::unique_ptr<framework::Sha256> digest;
    };
    // Where a response's body starts in the file and where it ends: the whole
    // file's length, or (whole false) only the most that is read of a body
    // whose length nobody declared.
    struct Body {
        std::uint64_t received, total;
        bool whole = true;
    };
    enum class Retry { None, StartOver, FromOrigin };

    static unsigned __stdcall DownloadThreadProc(void* parameter);
    // The transfer, on the worker: 0 on success, 1 on failure. A failure
    // after the file was opened deletes the file.
    int Download();
    int Failed(framework::OutputFile& file, const std::string& written, bool cut);
    void Notify(const DownloadNotice& notice);

    void Transfer(framework::OutputFile& file, Resume& resume);
    Retry TransferOnce(framework::OutputFile& file, Resume& resume, bool fromOrigin);
    // Sends a GET for the session's URL and follows its redirects.
    Answer Ask(const std::string& extraHeaders);
    // Sends a GET for the URL; the request is then the last of m_requests.
    framework::HttpRequest& SendRequest(const framework::ParsedUrl& url,
                                        const std::string& extraHeaders, DWORD& status);
    void CheckStatus(const Answer& answer, const Resume& resume);
    void CheckEncoding(framework::HttpRequest& request);
    Body Measure(std::optional<std::uint64_t> declared);
    void Receive(framework::HttpRequest& request, const Body& body, framework::OutputFile& file,
                 framework::Sha256* digest);
    std::unique_ptr<framework::Sha256> StartDigest(Resume& resume, const Body& body);
    DWORD RemainingMs() const;

    // The resuming half of a package transfer.
    Resume PrepareResume();
    Answer AskForTheRest(const std::string& extraHeaders);
    std::optional<Body> ContinueOrRestart(framework::HttpRequest& request, DWORD status,
                                          std::optional<std::uint64_t> declared,
                                          framework::OutputFile& file, Resume& resume);
    void KeepFrom(framework::HttpRequest& request, const Body& body);
    [[noreturn]] void RefuseResume(const std::string& why);
    bool KeepCut(framework::OutputFile& file);
    void Complete();

    std::vector<OpenRequest> m_requests;
    std::string m_strAsked;       // the URL of the last request sent
    ULONGLONG m_start = 0;        // when the first request was sent
    ULONGLONG m_deadline = 0;     // when the transfer fails, wherever it stands
    bool m_keep = false;          // a network failure now keeps the bytes received for the next run
};

// Creates and starts a session. Whatever stops it from running, a failed
// internet handle included, ends in one posted failure notice to the window,
// as a failed transfer would, so that the window never waits for ever.
void LaunchUpdateSession(const std::string& url, const std::string& file, HWND notifyWindow,
                         const PackagePin& pin = {},
                         std::uint64_t maxLength = std::numeric_limits<std::uint64_t>::max(),
                         bool resumable = false);
