// The download session on real WinINet against a scripted server on
// loopback, with its notices received by a real window on this thread.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <random>

#include "support/debug_capture.h"
#include "support/http_test_server.h"
#include "support/long_runs.h"
#include "support/notice_window.h"
#include "support/temp_folder.h"
#include "support/url_cache.h"
#include "transfer/transfer_rules.h"
#include "transfer/update_session.h"

using testing::ElementsAre;

namespace {

// A session that says when the worker has deleted it.
class ObservedSession : public UpdateSession {
public:
    ObservedSession(const std::string& url, const std::string& file, HWND window,
                    std::atomic<bool>& deleted)
        : UpdateSession(url, file, window), deleted_(deleted)
    {
    }
    ~ObservedSession() override { deleted_ = true; }

private:
    std::atomic<bool>& deleted_;
};

std::string Body(size_t size)
{
    std::string body(size, '\0');
    for (size_t i = 0; i < size; ++i)
        body[i] = static_cast<char>('a' + i % 26);
    return body;
}

class Transfer : public testing::Test {
protected:
    // Runs one session to its end; the window's notices tell the outcome.
    void Fetch(const std::string& url)
    {
        deleted = false;
        auto* session = new ObservedSession(url, target, window.hwnd(), deleted);
        ASSERT_EQ(session->Start(), 0);
        // Generous: a loaded machine may take minutes over the largest body.
        ASSERT_TRUE(window.WaitForCompletion(180000));
        ASSERT_TRUE(PumpUntil([this] { return deleted.load(); })) << "the worker deletes the session";
    }
    bool Succeeded() const
    {
        return window.Completions() == 1 && window.notices.back().succeeded &&
               !window.notices.back().failed;
    }
    bool FailedAndLeftNoFile() const
    {
        return window.Completions() == 1 && window.notices.back().failed &&
               !window.notices.back().succeeded && !FileExists(target);
    }

    HttpTestServer server;
    NoticeWindow window;
    TempFolder folder;
    std::string target = folder / "VLNRUpdate.ini";
    std::atomic<bool> deleted{false};
};

TEST_F(Transfer, PlainDownloadSendsOneNoticePerChunkBeforeWritingIt)
{
    std::string body = Body(5000);
    server.Serve("/vlnr/self/all/self_all.ini", Response(200, body));
    window.onNotice = [&](const ReceivedNotice& notice) {
        if (!notice.failed && !notice.succeeded) {
            // The chunk of this notice is not in the file yet.
            size_t chunks = window.Percents().size();
            EXPECT_LE(ReadFileBytes(target).size(), (chunks - 1) * 1023);
        }
    };
    Fetch(server.Url("/vlnr/self/all/self_all.ini"));

    ASSERT_TRUE(Succeeded());
    EXPECT_THAT(window.Percents(), ElementsAre(20, 40, 61, 81, 100));
    for (const ReceivedNotice& notice : window.notices) {
        EXPECT_EQ(notice.kind, 1);
        EXPECT_TRUE(notice.fromSession);
    }
    EXPECT_EQ(window.notices.back().file, target);
    EXPECT_EQ(ReadFileBytes(target), body);
}

TEST_F(Transfer, RequestCarriesTheHeaderBlockAndComesFromTheServer)
{
    server.Serve("/a.ini", Response(200, "x"));
    Fetch(server.Url("/a.ini"));
    Fetch(server.Url("/a.ini"));  // never answered from the cache

    std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::string& request = requests[0];
    EXPECT_EQ(request.rfind("GET /a.ini HTTP/1.1\r\n", 0), 0u) << request;
    EXPECT_NE(request.find("\r\nAccept: text/* */*\r\n"), std::string::npos) << request;
    // One User-Agent, by the add-if-new rule: Wine adds the session's agent
    // only at sending, after the block's line went in; Windows adds it when the
    // request is opened, so there "Orlith" would arrive instead.
    size_t agent = request.find("\r\nUser-Agent:");
    ASSERT_NE(agent, std::string::npos) << request;
    EXPECT_EQ(request.find("\r\nUser-Agent:", agent + 1), std::string::npos) << request;
    std::string line = request.substr(agent + 2, request.find("\r\n", agent + 2) - agent - 2);
    EXPECT_THAT(line, testing::AnyOf("User-Agent: \xA1\xA1HttpClient", "User-Agent:\xA1\xA1HttpClient",
                                     "User-Agent: Orlith"));
    EXPECT_EQ(std::string(kHeaderBlock).size(), 45u);
}

// A response that WinINet may keep for a day never stands in for the server's
// answer, is never written to the cache (it would be a third copy of every
// package, kept for ever), and a copy that the cache already held is gone
// after the transfer. (Wine stores responses in the cache but never answers
// from it; Windows would answer from it.)
TEST_F(Transfer, EveryTransferAsksTheServerAndLeavesNothingInTheCache)
{
    const std::string cacheable =
        "Cache-Control: max-age=86400\r\nLast-Modified: Tue, 01 Dec 2026 00:00:00 GMT\r\n";
    server.Serve("/cached.ini", Response(200, "first version", cacheable));
    Fetch(server.Url("/cached.ini"));
    ASSERT_TRUE(Succeeded());
    server.Serve("/cached.ini", Response(200, "second", cacheable));
    window.notices.clear();
    Fetch(server.Url("/cached.ini"));
    ASSERT_TRUE(Succeeded());
    EXPECT_EQ(ReadFileBytes(target), "second");
    EXPECT_EQ(server.Targets().size(), 2u);
    EXPECT_FALSE(InUrlCache(server.Url("/cached.ini")));

    // A stale copy in the cache, and a server that no longer has the file.
    std::string gone = server.Url("/gone.ini");
    char local[MAX_PATH] = {};
    ASSERT_TRUE(CreateUrlCacheEntryA(gone.c_str(), 5, "ini", local, 0)) << GetLastError();
    std::ofstream(local, std::ios::binary) << "stale";
    FILETIME never = {};
    ASSERT_TRUE(CommitUrlCacheEntryA(gone.c_str(), local, never, never, NORMAL_CACHE_ENTRY, nullptr,
                                     0, "ini", nullptr))
        << GetLastError();
    ASSERT_TRUE(InUrlCache(gone)) << "the copy is in the cache";
    window.notices.clear();
    Fetch(gone);
    EXPECT_TRUE(FailedAndLeftNoFile());
    EXPECT_FALSE(InUrlCache(gone));
}

TEST_F(Transfer, AnyTwoHundredStatusIsAcceptedWithItsContentLength)
{
    server.Serve("/partial", Response(206, "part"));
    Fetch(server.Url("/partial"));
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(ReadFileBytes(target), "part");

    window.notices.clear();
    server.Serve("/empty", Response(204, ""));
    Fetch(server.Url("/empty"));
    EXPECT_TRUE(Succeeded());
    EXPECT_TRUE(window.Percents().empty());
    EXPECT_EQ(ReadFileBytes(target), "");
}

// Redirects are followed as browsers follow them: 301, 302, 303, 307 and
// 308, to the Location header (an absolute or a relative one), at most five
// in a row and never round in a loop; the answer they lead to must be 200.
// Every refusal says why.
TEST_F(Transfer, RedirectsAreFollowedAsBrowsersFollowThemAndRefusalsSayWhy)
{
    auto redirect = [&](int status, const std::string& location) {
        return Response(status, "", "Location: " + location + "\r\n");
    };
    std::vector<std::pair<std::string, ScriptedResponse>> served = {
        {"/real", Response(200, "real body")},
        {"/partial", Response(206, "part")},
        {"/s301", redirect(301, server.Url("/real"))},
        {"/s302", redirect(302, server.Url("/real"))},
        {"/s303", redirect(303, server.Url("/real"))},
        {"/s307", redirect(307, server.Url("/real"))},
        {"/s308", redirect(308, server.Url("/real"))},
        {"/dir/relative", redirect(302, "../real")},
        {"/absolute-path", redirect(301, "/real")},
        {"/lower", Response(302, "", "location: " + server.Url("/real") + "\r\n")},
        {"/both", Response(303, "", "Content-Location: " + server.Url("/partial") +
                                        "\r\nLocation: " + server.Url("/real") + "\r\n")},
        {"/hop0", redirect(302, "/hop1")},
        {"/loop", redirect(302, "/loop2")},
        {"/loop2", redirect(307, "/loop")},
        {"/nolocation", Response(302, "")},
        {"/ftp", redirect(302, "ftp://127.0.0.1/real")},
        {"/to-partial", redirect(302, server.Url("/partial"))},
        {"/notfound", Response(404, "missing")},
        {"/unavailable", Response(503, "busy")},
    };
    for (int hop = 1; hop <= 5; ++hop)
        served.push_back({"/hop" + std::to_string(hop),
                          redirect(302, hop < 5 ? "/hop" + std::to_string(hop + 1) : "/real")});
    for (const auto& [path, response] : served)
        server.Serve(path, response);

    struct Case {
        const char* path;
        const char* refusal;  // nothing: the redirects lead to /real
    } cases[] = {
        {"/s301", nullptr}, {"/s302", nullptr}, {"/s303", nullptr}, {"/s307", nullptr},
        {"/s308", nullptr}, {"/dir/relative", nullptr}, {"/absolute-path", nullptr},
        {"/lower", nullptr}, {"/both", nullptr}, {"/hop1", nullptr},
        {"/hop0", "Transfer refused: more than 5 redirects"},
        {"/loop", "Transfer refused: a redirect loop"},
        {"/nolocation", "Transfer refused: a redirect without a Location"},
        {"/ftp", "Transfer refused: a redirect to no http or https URL"},
        {"/to-partial", "Transfer refused: HTTP status 206"},
        {"/notfound", "Transfer refused: HTTP status 404 (http://127.0.0.1:"},
        {"/unavailable", "Transfer refused: HTTP status 503"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        window.notices.clear();
        DebugCapture capture;
        Fetch(server.Url(c.path));
        if (!c.refusal) {
            EXPECT_TRUE(Succeeded());
            EXPECT_EQ(ReadFileBytes(target), "real body");
            EXPECT_EQ(server.Targets().back(), "/real");
        } else {
            EXPECT_TRUE(FailedAndLeftNoFile());
            EXPECT_THAT(capture.Texts(), testing::Contains(testing::HasSubstr(c.refusal)));
        }
    }
}

// A body without a declared length is read only against a bound that tells
// a whole body from a cut one: the pin's size, or a small file's limit (the
// manifest's). Bodies in an encoding nobody asked for are never taken.
TEST_F(Transfer, BodiesWithoutALengthAreReadAgainstTheirBound)
{
    std::string body = Body(3000);
    auto closeDelimited = [](const std::string& bytes) {
        return RawResponse("HTTP/1.0 200 OK\r\nConnection: close\r\n", bytes);
    };
    std::string chunked;
    for (size_t at = 0; at < body.size(); at += 1000)
        chunked += "3E8\r\n" + body.substr(at, 1000) + "\r\n";
    chunked += "0\r\n\r\n";
    const std::uint64_t any = ~0ull;
    struct Case {
        const char* name;
        ScriptedResponse response;
        PackagePin pin;
        std::uint64_t maxLength;
        const char* refusal;  // nothing: the body arrives whole
    } cases[] = {
        {"close-delimited, a limit", closeDelimited(body), {}, 1 << 20, nullptr},
        {"chunked, a limit", RawResponse("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n", chunked),
         {}, 1 << 20, nullptr},
        {"close-delimited, pinned size", closeDelimited(body), ReadPackagePin("", "3000"), any, nullptr},
        {"close-delimited, over the limit", closeDelimited(body), {}, 2000,
         "Transfer refused: the body is longer than 2000 bytes"},
        {"close-delimited, short of the pin", closeDelimited(body), ReadPackagePin("", "4000"), any,
         "Transfer failed: the body ended at byte 3000 of 4000"},
        {"close-delimited, no bound", closeDelimited(body), {}, any,
         "Transfer refused: no Content-Length"},
        {"gzip never asked for", Response(200, body, "Content-Encoding: gzip\r\n"), {}, any,
         "Transfer refused: Content-Encoding gzip"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.Serve("/file", c.response);
        window.notices.clear();
        deleted = false;
        DebugCapture capture;
        auto* session = new ObservedSession(server.Url("/file"), target, window.hwnd(), deleted);
        session->m_pin = c.pin;
        session->m_maxLength = c.maxLength;
        ASSERT_EQ(session->Start(), 0);
        ASSERT_TRUE(window.WaitForCompletion(60000));
        ASSERT_TRUE(PumpUntil([this] { return deleted.load(); }));
        if (!c.refusal) {
            EXPECT_TRUE(Succeeded());
            EXPECT_EQ(ReadFileBytes(target), body);
            if (c.pin.size) {
                EXPECT_EQ(window.Percents().back(), 100u) << "the bar goes toward the pinned size";
            }
        } else {
            EXPECT_TRUE(FailedAndLeftNoFile());
            EXPECT_THAT(capture.Texts(), testing::Contains(testing::HasSubstr(c.refusal)));
        }
    }
}

TEST_F(Transfer, ABodyNeedsADeclaredLengthAndMustReachIt)
{
    std::string body = Body(3000);
    struct Case {
        const char* path;
        ScriptedResponse response;
    } cases[] = {
        {"/garbage", RawResponse("HTTP/1.1 200 OK\r\nContent-Length: abc\r\nConnection: close\r\n", body)},
        {"/negative", RawResponse("HTTP/1.1 200 OK\r\nContent-Length: -5\r\nConnection: close\r\n", body)},
        {"/cut", [&] {
             ScriptedResponse r = Response(200, body);
             r.closeAfter = 1500;
             return r;
         }()},
        {"/huge", RawResponse("HTTP/1.1 200 OK\r\nContent-Length: 5000000000\r\nConnection: close\r\n", body)},
        // Cut after WinINet's buffer was full, inside a read of a whole block.
        {"/cutlate", [] {
             ScriptedResponse r = Response(200, Body(100000));
             r.closeAfter = 30000;
             return r;
         }()},
    };
    for (const Case& c : cases)
        server.Serve(c.path, c.response);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        window.notices.clear();
        Fetch(server.Url(c.path));
        EXPECT_TRUE(FailedAndLeftNoFile());
    }
}

TEST_F(Transfer, ABodyLongerThanDeclaredNeverPassesAsAnotherFile)
{
    // WinINet stops at the declared length on Windows; Wine may read on.
    // Either the declared bytes arrive, or the transfer fails: never more.
    std::string body = Body(3000);
    for (const char* length : {"10", "0"}) {
        SCOPED_TRACE(length);
        server.Serve("/longer", RawResponse("HTTP/1.1 200 OK\r\nContent-Length: " +
                                            std::string(length) + "\r\nConnection: close\r\n", body));
        window.notices.clear();
        Fetch(server.Url("/longer"));
        if (Succeeded())
            EXPECT_EQ(ReadFileBytes(target), body.substr(0, std::stoul(length)));
        else
            EXPECT_TRUE(FailedAndLeftNoFile());
        for (UINT percent : window.Percents())
            EXPECT_LE(percent, 100u);
    }
}

TEST_F(Transfer, ATargetThatCannotBeCreatedGivesOneFailureNoticeAndNothingElse)
{
    server.Serve("/a.ini", Response(200, "x"));
    target = folder / "missing\\VLNRUpdate.ini";
    Fetch(server.Url("/a.ini"));
    ASSERT_EQ(window.notices.size(), 1u);
    EXPECT_TRUE(window.notices[0].failed);
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(Transfer, ClosingTheWindowStopsTheNoticesButNotTheTransfer)
{
    std::string body = Body(100000);
    ScriptedResponse response = Response(200, body);
    response.pauseAfter = 2000;
    server.Serve("/pack.exe", response);
    window.onNotice = [&](const ReceivedNotice&) {
        window.Destroy();
        server.Resume();
    };
    deleted = false;
    auto* session = new ObservedSession(server.Url("/pack.exe"), target, window.hwnd(), deleted);
    ASSERT_EQ(session->Start(), 0);
    ASSERT_TRUE(PumpUntil([this] { return deleted.load(); }));
    EXPECT_EQ(window.notices.size(), 1u);
    EXPECT_EQ(ReadFileBytes(target), body) << "a complete transfer keeps its file";
}

// A sender that pauses, before or after WinINet's buffer filled up: what it
// sent is reported during the pause, and nothing is lost when it goes on.
// The server sends nothing more until it is resumed, so a notice that reaches
// the pause's percentage before then can only come from the bytes before it.
TEST_F(Transfer, BytesSentBeforeAPauseAreReportedDuringIt)
{
    struct Case {
        size_t size, pause;
    } cases[] = {{18000, 9000}, {100000, 20000}, {100000, 30000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pause);
        HttpTestServer pausing;  // each resumes once, for good
        std::string body = Body(c.size);
        ScriptedResponse response = Response(200, body);
        response.pauseAfter = c.pause;
        pausing.Serve("/pack.exe", response);
        window.notices.clear();
        deleted = false;
        auto* session = new ObservedSession(pausing.Url("/pack.exe"), target, window.hwnd(), deleted);
        ASSERT_EQ(session->Start(), 0);
        UINT sent = ProgressPercent(c.pause, c.size);
        bool reported = PumpUntil(
            [&] { return !window.Percents().empty() && window.Percents().back() >= sent; }, 20000);
        pausing.Resume();
        ASSERT_TRUE(window.WaitForCompletion());
        ASSERT_TRUE(PumpUntil([this] { return deleted.load(); }));
        EXPECT_TRUE(reported) << "the bytes before the pause waited for later bytes";
        ASSERT_TRUE(Succeeded());
        std::vector<UINT> percents = window.Percents();
        EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
        EXPECT_EQ(percents.back(), 100u);
        EXPECT_EQ(ReadFileBytes(target), body);
    }
}

TEST_F(Transfer, PercentagesOfAPackageAbove43MegabytesReach100WithoutWrapping)
{
    std::string body = Body(44'000'000);
    server.Serve("/big.exe", Response(200, body));
    Fetch(server.Url("/big.exe"));
    ASSERT_TRUE(Succeeded());
    std::vector<UINT> percents = window.Percents();
    // Chunks of at most 1023 bytes; a few fall short where the reader caught up.
    EXPECT_GE(percents.size(), (body.size() + 1022) / 1023);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(percents.back(), 100u);
    EXPECT_EQ(ReadFileBytes(target), body) << "blocks are handed on whole and in order";
}

// Status lines and header blocks of every shape: the session never crashes,
// always ends with one completion notice, and a failure leaves no file.
TEST_F(Transfer, RandomHeadsNeverCrashTheSessionOrLeaveAPartialFile)
{
    std::mt19937 random(20261208);
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    const std::vector<std::string> statuses = {
        "HTTP/1.1 200 OK", "HTTP/1.0 200", "HTTP/1.1 206 Partial", "HTTP/1.1 302 Found",
        "HTTP/1.1 301", "HTTP/1.1 303 x", "HTTP/1.1 307 T", "HTTP/1.1 404 NF", "HTTP/1.1 999 ?",
        "HTTP/1.1 -1 x", "HTTP/1.1  200 OK", "HTTP/2 200", "ICY 200 OK", "HTTP/1.1", "", "\x01\xFF"};
    const std::vector<std::string> headers = {
        "Content-Length: 10", "Content-Length: 0", "Content-Length: 99999999999",
        "Content-Length: -1", "Content-Length:", "Content-Length: 1e3", "content-length: 10",
        "Location: " + server.Url("/ok"), "Location: " + server.Url("/loop"), "Location: ",
        "Location: https://127.0.0.1/", "Location:" + server.Url("/ok"), "Content-Location: /x",
        "Transfer-Encoding: chunked", "Connection: close", "Connection: keep-alive",
        "X: " + std::string(5000, 'y'), ": no name", "no colon", "\x80\x81: \xFE"};
    server.Serve("/ok", Response(200, "0123456789"));
    server.Serve("/loop", Response(302, "", "Location: " + server.Url("/loop") + "\r\n"));
    int runs = 60 * LongRunFactor(), failures = 0;
    for (int i = 0; i < runs; ++i) {
        std::string head = statuses[pick(statuses.size())] + "\r\n";
        std::string body(pick(3000), 'b');
        if (pick(2))  // often the right length, so that some transfers succeed
            head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
        for (size_t n = pick(4) / 2; n > 0; --n)
            head += headers[pick(headers.size())] + "\r\n";
        ScriptedResponse response = RawResponse(head, body);
        if (pick(4) == 0)
            response.closeAfter = pick(response.body.size() + 1);
        server.Serve("/random", response);
        window.notices.clear();
        Fetch(server.Url("/random"));
        ASSERT_EQ(window.Completions(), 1u) << head;
        if (window.notices.back().failed) {
            ++failures;
            EXPECT_FALSE(FileExists(target)) << head;
        }
    }
    std::printf("%d random heads, %d failed transfers\n", runs, failures);
}

// No server holds a run for ever: a body that drips ends at the transfer's
// deadline, and a refused body that never ends (declared over the limit, or
// unlike the pin) ends the transfer at once, whatever WinINet would do with
// the rest of it on closing.
TEST_F(Transfer, NoServerHoldsATransferForEver)
{
    ScriptedResponse drip = Response(200, Body(2000));
    drip.dripMs = 50;  // 100 seconds in all
    ScriptedResponse dripHead = Response(200, "x", "X-Padding: " + std::string(100, 'p') + "\r\n");
    dripHead.headDripMs = 500;  // a byte at a time, each well inside the silence timeout
    ScriptedResponse endless =
        RawResponse("HTTP/1.1 200 OK\r\nContent-Length: 1099511627776\r\n", Body(1 << 16));
    endless.endless = true;
    ScriptedResponse overLimit = endless;
    overLimit.head = "HTTP/1.1 200 OK\r\nContent-Length: 1048577\r\n";
    PackagePin pinned = ReadPackagePin("", "1000");
    const std::uint64_t any = ~0ull;
    struct Case {
        const char* name;
        ScriptedResponse response;
        PackagePin pin;
        std::uint64_t maxLength;
        const char* trace;
    } cases[] = {
        {"a dripping body", drip, {}, any, "Transfer deadline passed"},
        {"a dripping head", dripHead, {}, any, "Transfer deadline passed"},
        {"an endless body unlike the pin", endless, pinned, any, "Package size mismatch"},
        {"an endless body over the limit", overLimit, {}, 1 << 20, "Declared length over the limit"},
    };
    for (const Case& c : cases) {
        window.notices.clear();
        deleted = false;
        {
            HttpTestServer own;  // stopped before the session is waited for
            own.Serve("/p.exe", c.response);
            DebugCapture capture;
            auto* session = new ObservedSession(own.Url("/p.exe"), target, window.hwnd(), deleted);
            session->m_pin = c.pin;
            session->m_maxLength = c.maxLength;
            session->m_deadlineFloorMs = 1000;
            ASSERT_EQ(session->Start(), 0);
            EXPECT_TRUE(window.WaitForCompletion(20000)) << c.name;
            EXPECT_TRUE(FailedAndLeftNoFile()) << c.name;
            // What the sockets' buffers hold, not a body read to its end.
            EXPECT_LT(own.StreamedBytes(), 8u << 20) << c.name;
            EXPECT_THAT(capture.Texts(), testing::Contains(c.trace)) << c.name;
        }
        ASSERT_TRUE(PumpUntil([this] { return deleted.load(); })) << c.name;
    }
}

TEST(TransferRules, PercentLocationAndLength)
{
    EXPECT_EQ(ProgressPercent(1023, 5000), 20u);
    EXPECT_EQ(ProgressPercent(50'000'000, 100'000'000), 50u);
    EXPECT_EQ(ProgressPercent(4'000'000'000ull, 4'000'000'000ull), 100u);
    EXPECT_EQ(ProgressPercent(10, 0), 100u) << "no division by a declared 0";

    struct Location {
        const char* base;
        const char* location;
        std::optional<std::string> url;
    } locations[] = {
        {"http://h/a/b.ini", "https://c/d", "https://c/d"},
        {"http://h:8080/a/b.ini", "/x/y", "http://h:8080/x/y"},
        {"https://h/a/b.ini", "//cdn/z", "https://cdn/z"},
        {"http://h/a/b.ini", "c.ini", "http://h/a/c.ini"},
        {"http://h/a/b.ini", "../c.ini?v=2", "http://h/c.ini?v=2"},
        {"http://h/a/b.ini", "./.././../c", "http://h/c"},
        {"http://h/a/b.ini?old", "?v=2", "http://h/a/b.ini?v=2"},
        {"http://h/a/", " next ", "http://h/a/next"},
        {"http://h/a/b.ini", "", std::nullopt},
        {"not a url", "/x", std::nullopt},
    };
    for (const Location& l : locations)
        EXPECT_EQ(ResolveLocation(l.base, l.location), l.url) << l.base << " + " << l.location;
    framework::ParsedUrl http, https;
    ASSERT_TRUE(framework::ParseUrl("http://h/x", http) && framework::ParseUrl("https://h/x", https));
    EXPECT_EQ(RedirectRefusal(http, https), std::nullopt) << "http may become https";
    EXPECT_EQ(RedirectRefusal(https, http), "redirect from https to http");
    EXPECT_TRUE(IsIdentityEncoding("") && IsIdentityEncoding(" Identity "));
    EXPECT_FALSE(IsIdentityEncoding("gzip") || IsIdentityEncoding("identity, gzip"));

    EXPECT_EQ(ParseContentLength(" 42 "), 42u);
    EXPECT_EQ(ParseContentLength("12abc"), std::nullopt);
    EXPECT_EQ(ParseContentLength(""), std::nullopt);
    EXPECT_EQ(ParseContentLength("99999999999999999999999"), std::nullopt);

    const std::uint64_t day = 24ull * 3600 * 1000;
    EXPECT_EQ(TransferDeadlineMs(0), kTransferDeadlineFloorMs);
    EXPECT_EQ(TransferDeadlineMs(100 << 20), kTransferDeadlineFloorMs + 25'600'000u) << "100 MB";
    EXPECT_EQ(TransferDeadlineMs(4096, 500), 1500u);
    EXPECT_EQ(TransferDeadlineMs(~0ull), day) << "a day at most, without overflow";
}

}  // namespace
