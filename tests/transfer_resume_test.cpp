// A cut package transfer continues in the next run: the session on real
// WinINet against the scripted server (and, where the test is started with
// them, nginx over http and https, and Python's http.server), over two sessions as two runs would
// make them. Also the plain rules of what is kept and what continues it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>

#include "framework/crypto.h"
#include "framework/internet.h"
#include "framework/url.h"
#include "support/debug_capture.h"
#include "support/http_test_server.h"
#include "support/notice_window.h"
#include "support/root_store.h"
#include "support/temp_folder.h"
#include "transfer/kept_files.h"
#include "transfer/kept_transfer.h"
#include "transfer/transfer_rules.h"
#include "transfer/update_session.h"

using testing::Contains;
using testing::HasSubstr;
using testing::Not;

namespace {

std::string Body(size_t size, char salt = 0)
{
    std::string body(size, '\0');
    for (size_t i = 0; i < size; ++i)
        body[i] = static_cast<char>(i * 13 + i / 509 + salt);
    return body;
}

std::string HexOf(const framework::Sha256Digest& digest)
{
    std::string text;
    for (std::uint8_t byte : digest) {
        static const char kDigits[] = "0123456789abcdef";
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

PackagePin PinOf(const std::string& body)
{
    return ReadPackagePin(HexOf(framework::Sha256Of(body.data(), body.size())),
                          std::to_string(body.size()));
}

ScriptedResponse Cut(ScriptedResponse response, size_t bytes)
{
    response.closeAfter = bytes;
    return response;
}

ScriptedResponse IgnoringIfRange(ScriptedResponse file)
{
    file.ignoresIfRange = true;
    return file;
}

// Two runs' sessions for one package target, with their notices and traces.
class Resume : public testing::Test {
protected:
    struct Run {
        bool succeeded = false;
        std::vector<UINT> percents;
        std::vector<std::string> traces;
    };
    Run Fetch(const std::string& url, const PackagePin& pin = {})
    {
        NoticeWindow window;
        DebugCapture capture;
        auto* session = new UpdateSession(url, target, window.hwnd());
        session->m_pin = pin;
        session->m_resumable = true;
        EXPECT_EQ(session->Start(), 0);
        EXPECT_TRUE(window.WaitForCompletion(120000));
        Run run;
        run.succeeded = window.Completions() == 1 && window.notices.back().succeeded;
        run.percents = window.Percents();
        // The worker writes its last line before its completion notice.
        run.traces = capture.Texts();
        return run;
    }
    bool Kept() const { return FileExists(KeptBytesPath(target)) && FileExists(KeptRecordPath(target)); }
    bool NothingLeft() const
    {
        return !FileExists(target) && !FileExists(KeptBytesPath(target)) &&
               !FileExists(KeptRecordPath(target));
    }
    std::string LastRequest() const { return server.Requests().back(); }

    HttpTestServer server;
    TempFolder folder;
    std::string target = folder / "VLNRUpdatePack.exe";
};

const std::string kPackage = Body(200000);
const std::string kChanged = Body(180000, 1);
const std::string kSameSize = Body(200000, 2);  // changed, its length not
const size_t kCut = 70000;

// The first run's body is cut at kCut; the second run gets another answer.
TEST_F(Resume, TheNextRunContinuesOrStartsOverAsTheAnswerSays)
{
    const std::string etag = "ETag: \"v1\"";
    const std::string date = "Last-Modified: Tue, 01 Dec 2026 10:00:00 GMT";
    std::string rest = kPackage.substr(kCut);
    struct Case {
        const char* name;
        ScriptedResponse second;
        std::string validatorHeader;  // of the first, cut, answer
        bool succeeds;
        const std::string* file;  // the file after the second run
        const char* trace;
    } cases[] = {
        {"strong ETag: the rest is appended", RangedFile(kPackage, etag), etag, true, &kPackage,
         "Package transfer resumes from byte 70000"},
        {"Last-Modified: the rest is appended", RangedFile(kPackage, date), date, true, &kPackage,
         "Package transfer resumes from byte 70000"},
        {"file changed on the server: If-Range fails, 200", RangedFile(kChanged, "ETag: \"v2\""),
         etag, true, &kChanged, "Package transfer starts over: the server sent the whole file"},
        {"server ignores the range: 200", Response(200, kPackage, etag + "\r\n"), etag, true,
         &kPackage, "Package transfer starts over: the server sent the whole file"},
        {"416", Response(416, "", "Content-Range: bytes */200000\r\n"), etag, false, nullptr,
         "Package transfer resume refused: 416"},
        {"206 from another byte", Response(206, kPackage.substr(kCut - 1),
             "Content-Range: bytes 69999-199999/200000\r\n"), etag, false, nullptr,
         "Package transfer resume refused: the range does not fit the kept bytes"},
        {"206 of another total", Response(206, rest, "Content-Range: bytes 70000-199999/300000\r\n"),
         etag, false, nullptr, "Package transfer resume refused: the range does not fit the kept bytes"},
        {"206 without Content-Range", Response(206, rest), etag, false, nullptr,
         "Package transfer resume refused: the range does not fit the kept bytes"},
        // A server or cache that honours Range but ignores If-Range sends the
        // rest of the changed file: the run starts over and fetches it whole.
        {"206 under another ETag", IgnoringIfRange(RangedFile(kSameSize, "ETag: \"v2\"")), etag,
         true, &kSameSize, "Package transfer starts over: the range is of another version of the file"},
        {"206 without the ETag", IgnoringIfRange(RangedFile(kSameSize, date)), etag, true, &kSameSize,
         "Package transfer starts over: the range is of another version of the file"},
        {"206 under another date", IgnoringIfRange(RangedFile(kSameSize, "Last-Modified: Wed, 02 "
             "Dec 2026 10:00:00 GMT")), date, true, &kSameSize,
         "Package transfer starts over: the range is of another version of the file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DiscardKept(target);
        server.Serve("/pack.exe", Cut(RangedFile(kPackage, c.validatorHeader), kCut));
        Run first = Fetch(server.Url("/pack.exe"));
        EXPECT_FALSE(first.succeeded);
        ASSERT_TRUE(Kept()) << "the cut keeps its bytes beside the target";
        EXPECT_FALSE(FileExists(target)) << "never a partial file at the target's own name";
        EXPECT_EQ(ReadFileBytes(KeptBytesPath(target)), kPackage.substr(0, kCut));
        EXPECT_THAT(first.traces, Contains("Package transfer cut at byte 70000: kept for the next run"));

        server.Serve("/pack.exe", c.second);
        size_t asked = server.Requests().size();
        Run second = Fetch(server.Url("/pack.exe"));
        std::string validator = c.validatorHeader.substr(c.validatorHeader.find(": ") + 2);
        EXPECT_THAT(server.Requests().at(asked), HasSubstr("\r\nRange: bytes=70000-\r\nIf-Range: " + validator + "\r\n"));
        EXPECT_EQ(second.succeeded, c.succeeds);
        EXPECT_THAT(second.traces, Contains(c.trace));
        if (c.file) {
            EXPECT_TRUE(ReadFileBytes(target) == *c.file) << "not the file served";
            EXPECT_FALSE(FileExists(KeptBytesPath(target)) || FileExists(KeptRecordPath(target)));
        } else {
            EXPECT_TRUE(NothingLeft()) << "a refused continuation keeps nothing: the next run starts fresh";
        }
        if (c.succeeds && c.file == &kPackage && c.second.ranges) {
            ASSERT_FALSE(second.percents.empty());
            EXPECT_EQ(second.percents.front(), 35u) << "the bar starts at the share already kept";
        }
    }
}

// What the first answer must have for its bytes to be worth keeping, and
// what makes kept bytes unusable before anything is asked.
TEST_F(Resume, BytesAreKeptOnlyUnderAValidatorAndOnlyForTheSamePackage)
{
    struct Case {
        const char* name;
        ScriptedResponse first;
        bool kept;
        std::function<void()> between;  // what happens on disk between the runs
        const char* secondPath;
        PackagePin secondPin;
        const char* trace;  // of the second run
    } cases[] = {
        {"no validator", Cut(Response(200, kPackage), kCut), false, [] {}, "/pack.exe", {}, nullptr},
        {"weak ETag", Cut(Response(200, kPackage, "ETag: W/\"v1\"\r\n"), kCut), false, [] {},
         "/pack.exe", {}, nullptr},
        {"another URL", Cut(RangedFile(kPackage, "ETag: \"v1\""), kCut), true, [] {}, "/other.exe",
         {}, "Package transfer starts over: the kept bytes are of another package"},
        {"another pin", Cut(RangedFile(kPackage, "ETag: \"v1\""), kCut), true, [] {}, "/pack.exe",
         PinOf(kPackage), "Package transfer starts over: the kept bytes are of another package"},
        {"a damaged record", Cut(RangedFile(kPackage, "ETag: \"v1\""), kCut), true,
         [this] { folder.Write("VLNRUpdatePack.exe.resume", "velnor-kept-transfer 1\r\nurl=x"); },
         "/pack.exe", {}, nullptr},
    };
    server.Serve("/other.exe", RangedFile(kPackage, "ETag: \"v1\""));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DiscardKept(target);
        server.Serve("/pack.exe", c.first);
        EXPECT_FALSE(Fetch(server.Url("/pack.exe")).succeeded);
        EXPECT_EQ(Kept(), c.kept);
        if (!c.kept) {
            EXPECT_TRUE(NothingLeft());
        }
        c.between();

        server.Serve("/pack.exe", RangedFile(kPackage, "ETag: \"v1\""));
        Run second = Fetch(server.Url(c.secondPath), c.secondPin);
        EXPECT_TRUE(second.succeeded);
        EXPECT_THAT(LastRequest(), Not(HasSubstr("Range:"))) << "nothing usable was kept";
        EXPECT_EQ(ReadFileBytes(target), kPackage);
        if (c.trace) {
            EXPECT_THAT(second.traces, Contains(c.trace));
        }
    }
}

// Kept bytes hold their URL only while it answers the ranged request: a
// mirror that is gone, or answers anything but the range, the file or 416,
// loses them (the next run then picks a mirror afresh), and so does a
// temporary folder too full to take the package. Neither is traced as a cut.
TEST_F(Resume, KeptBytesGoWhenTheirMirrorDiesOrTheDiskIsFull)
{
    struct Case {
        const char* name;
        std::optional<ScriptedResponse> second;  // nothing: the mirror is gone
        const char* trace;
    } cases[] = {
        {"404", Response(404, "gone"), "Package transfer resume refused: HTTP status 404 ("},
        {"503", Response(503, "busy"), "Package transfer resume refused: HTTP status 503 ("},
        {"no connection", std::nullopt, "Package transfer resume refused: WinINet error 12029"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DiscardKept(target);
        auto mirror = std::make_unique<HttpTestServer>();
        std::string url = mirror->Url("/pack.exe");
        mirror->Serve("/pack.exe", Cut(RangedFile(kPackage, "ETag: \"v1\""), kCut));
        EXPECT_FALSE(Fetch(url).succeeded);
        ASSERT_TRUE(Kept());
        if (c.second)
            mirror->Serve("/pack.exe", *c.second);
        else
            mirror.reset();
        Run second = Fetch(url);
        EXPECT_FALSE(second.succeeded);
        EXPECT_TRUE(NothingLeft());
        EXPECT_THAT(second.traces, Contains(HasSubstr(c.trace)));
        EXPECT_THAT(second.traces, Not(Contains(HasSubstr("kept for the next run"))));
    }

    const char* mounted = std::getenv("VELNOR_FULL_DISK");
    if (!mounted)
        GTEST_SKIP() << "this machine mounts no small disk";
    std::string disk = "Z:" + std::string(mounted);
    std::replace(disk.begin(), disk.end(), '/', '\\');
    target = disk + "\\VLNRUpdatePack.exe";
    server.Serve("/pack.exe", RangedFile(Body(400000), "ETag: \"v1\""));
    for (int run = 0; run < 2; ++run) {
        Run full = Fetch(server.Url("/pack.exe"));
        EXPECT_FALSE(full.succeeded);
        EXPECT_TRUE(NothingLeft()) << "the disk is left as empty as it was";
        EXPECT_THAT(full.traces, Contains(HasSubstr("(writing " + KeptBytesPath(target) + ")")));
        EXPECT_THAT(LastRequest(), Not(HasSubstr("Range:")));
    }
}

// A pinned package's digest covers the file as assembled: kept bytes that
// changed on disk fail it, and the package is then fetched whole again.
TEST_F(Resume, APinnedDigestCoversTheKeptBytes)
{
    PackagePin pin = PinOf(kPackage);
    struct Case {
        const char* name;
        bool alter;
    } cases[] = {{"kept bytes as received", false}, {"one kept byte altered on disk", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DiscardKept(target);
        server.Serve("/pack.exe", Cut(RangedFile(kPackage, "ETag: \"v1\""), kCut));
        EXPECT_FALSE(Fetch(server.Url("/pack.exe"), pin).succeeded);
        ASSERT_TRUE(Kept());
        if (c.alter) {
            std::string bytes = ReadFileBytes(KeptBytesPath(target));
            bytes[1234] ^= 1;
            folder.Write("VLNRUpdatePack.exe.partial", bytes);
        }
        server.Serve("/pack.exe", RangedFile(kPackage, "ETag: \"v1\""));
        size_t asked = server.Requests().size();
        Run second = Fetch(server.Url("/pack.exe"), pin);
        EXPECT_THAT(server.Requests().at(asked), HasSubstr("Range: bytes=70000-"));
        EXPECT_TRUE(second.succeeded) << "altered bytes are fetched again, from the origin";
        EXPECT_THAT(second.traces, Contains("Package digest verified"));
        if (c.alter) {
            EXPECT_THAT(second.traces, Contains("Package digest mismatch: asking the origin server"));
            EXPECT_THAT(LastRequest(), Not(HasSubstr("Range:")));
            EXPECT_THAT(LastRequest(), HasSubstr("\r\nPragma: no-cache\r\nCache-Control: no-cache\r\n"));
        }
        EXPECT_TRUE(ReadFileBytes(target) == kPackage);
    }
}

// A session that keeps nothing (the manifest's) never asks for a range and
// leaves no kept bytes, whatever the answer's validator.
TEST_F(Resume, OnlyPackageTransfersKeepBytes)
{
    server.Serve("/m.ini", Cut(RangedFile(kPackage, "ETag: \"v1\""), kCut));
    NoticeWindow window;
    auto* session = new UpdateSession(server.Url("/m.ini"), target, window.hwnd());
    ASSERT_EQ(session->Start(), 0);
    ASSERT_TRUE(window.WaitForCompletion());
    EXPECT_TRUE(window.notices.back().failed);
    EXPECT_TRUE(NothingLeft());
}

// The real servers, where the test is started beside them (tests/with-real-servers):
// nginx answers ranges under its ETag; Python's http.server ignores them.
// The kept bytes are laid out as a host killed mid-body leaves them, under
// the validator the server itself sends.
TEST_F(Resume, RealServersContinueOrStartOverAndEndWithTheRightFile)
{
    const char* files = std::getenv("VELNOR_REAL_SERVER_FILES");
    if (!files)
        GTEST_SKIP() << "started without the real servers (tests/with-real-servers starts them)";
    std::string package = ReadFileBytes(std::string("Z:") + files + "/pack.bin");
    ASSERT_GT(package.size(), kCut);
    // Before this process's first TLS request, so that its checks see it.
    TrustedRoot authority(std::string("Z:") + std::getenv("VELNOR_CA_DER"));
    struct Case {
        const char* server;
        const char* trace;
    } cases[] = {
        {"VELNOR_NGINX_URL", "Package transfer resumes from byte 70000"},
        {"VELNOR_HTTPS_URL", "Package transfer resumes from byte 70000"},
        {"VELNOR_HTTP_SERVER_URL", "Package transfer starts over: the server sent the whole file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server);
        const char* base = std::getenv(c.server);
        ASSERT_TRUE(base);
        std::string url = std::string(base) + "/pack.bin";
        framework::ParsedUrl parsed;
        ASSERT_TRUE(framework::ParseUrl(url, parsed));
        framework::InternetSession internet("probe", 1, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        auto connection = internet.GetHttpConnection(parsed.server, parsed.port);
        DWORD secure = parsed.service == framework::InternetService::Https ? INTERNET_FLAG_SECURE : 0;
        auto head = connection->OpenRequest("HEAD", parsed.object, 1, INTERNET_FLAG_RELOAD | secure);
        ASSERT_TRUE(head->SendRequest(30000));
        std::string etag, lastModified;
        head->QueryInfo(HTTP_QUERY_ETAG, etag);
        head->QueryInfo(HTTP_QUERY_LAST_MODIFIED, lastModified);
        std::optional<Validator> validator = ChooseValidator(etag, lastModified);
        ASSERT_TRUE(validator);

        DiscardKept(target);
        folder.Write("VLNRUpdatePack.exe.partial", package.substr(0, kCut));
        ASSERT_TRUE(WriteKeptRecord(target, {url, package.size(), validator->etag,
                                             validator->lastModified, PinOf(package)}));
        Run run = Fetch(url, PinOf(package));
        EXPECT_TRUE(run.succeeded);
        EXPECT_THAT(run.traces, Contains(c.trace));
        EXPECT_EQ(ReadFileBytes(target), package);
        EXPECT_FALSE(FileExists(KeptBytesPath(target)) || FileExists(KeptRecordPath(target)));
    }
}

TEST(KeptTransferRules, ContentRangeFitsOnlyTheRestOfTheKeptBody)
{
    struct Case {
        const char* contentRange;
        std::uint64_t declared, kept, total;
        bool fits;
    } cases[] = {
        {"bytes 100-999/1000", 900, 100, 1000, true},
        {"bytes 100-999/1000", 899, 100, 1000, false},   // Content-Length unlike the range
        {"bytes 99-999/1000", 901, 100, 1000, false},    // from another byte
        {"bytes 100-998/1000", 899, 100, 1000, false},   // not to the end
        {"bytes 100-999/2000", 900, 100, 2000, false},   // not to the end of the new total
        {"bytes 100-1999/2000", 1900, 100, 1000, false}, // another total
        {"bytes 100-999/*", 900, 100, 1000, false},
        {"bytes */1000", 0, 100, 1000, false},
        {"bytes 100-99/1000", 0, 100, 1000, false},
        {"items 100-999/1000", 900, 100, 1000, false},
        {"bytes 100-999/1000 ", 900, 100, 1000, false},
        {"", 900, 100, 1000, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RangeContinues(ParseContentRange(c.contentRange), c.declared, c.kept, c.total), c.fits)
            << c.contentRange << " " << c.declared;
}

TEST(KeptTransferRules, AValidatorIsAStrongETagOrElseLastModified)
{
    const std::string date = "Tue, 01 Dec 2026 10:00:00 GMT";
    struct Case {
        std::string etag, lastModified;
        std::optional<std::string> chosen;
    } cases[] = {
        {"\"abc\"", date, "\"abc\""},
        {"W/\"abc\"", date, date},
        {"W/\"abc\"", "", std::nullopt},
        {"abc", "", std::nullopt},  // not a quoted tag
        {"\"", "", std::nullopt},
        {"", date, date},
        {"", "", std::nullopt},
    };
    for (const Case& c : cases) {
        std::optional<Validator> v = ChooseValidator(c.etag, c.lastModified);
        EXPECT_EQ(v ? std::optional<std::string>(v->etag.empty() ? v->lastModified : v->etag)
                    : std::nullopt,
                  c.chosen)
            << c.etag << " | " << c.lastModified;
    }
}

TEST(KeptTransferRules, ARecordIsReadBackWholeOrNotAtAll)
{
    KeptTransfer kept{"http://h/p.exe", 1000, "\"v1\"", "", PinOf("x")};
    std::string text = FormatKeptRecord(kept);
    std::optional<KeptTransfer> back = ParseKeptRecord(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->url, kept.url);
    EXPECT_EQ(back->total, 1000u);
    EXPECT_EQ(back->validator(), "\"v1\"");
    EXPECT_TRUE(KeptServes(*back, kept.url, kept.pin));
    EXPECT_FALSE(KeptServes(*back, kept.url, {}));
    EXPECT_FALSE(KeptServes(*back, "http://h/q.exe", kept.pin));

    std::string unpinned = FormatKeptRecord({"http://h/p.exe", 5, "", "Tue, 01 Dec 2026", {}});
    ASSERT_TRUE(ParseKeptRecord(unpinned));
    EXPECT_TRUE(KeptServes(*ParseKeptRecord(unpinned), "http://h/p.exe", {}));

    for (size_t cut = 0; cut < text.size(); ++cut)
        EXPECT_FALSE(ParseKeptRecord(text.substr(0, cut))) << "cut at " << cut;
    for (const char* damage : {"total=x", "total=", "sha256=12", "colour=red", "url="}) {
        std::string bad = text;
        bad.insert(bad.find("end\r\n"), std::string(damage) + "\r\n");
        EXPECT_FALSE(ParseKeptRecord(bad)) << damage;
    }
    EXPECT_FALSE(ParseKeptRecord(FormatKeptRecord({"http://h/p.exe", 5, "", "", {}})))
        << "a record without a validator";
}

TEST(KeptTransferRules, TheKeptCopyIsFetchedWhenTheListHoldsIt)
{
    const std::vector<std::string> urls = {"http://a/p", "http://b/p", "http://c/p"};
    struct Case {
        std::string kept;
        size_t random;
        std::string chosen;
    } cases[] = {
        {"http://c/p", 0, "http://c/p"}, {"http://b/p", 2, "http://b/p"},
        {"http://d/p", 1, "http://b/p"}, {"", 2, "http://c/p"}, {"", 7, "http://b/p"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChoosePackageUrl(urls, c.kept, c.random), c.chosen) << c.kept;
    EXPECT_EQ(ChoosePackageUrl({}, "http://a/p", 0), "");
    EXPECT_EQ(ResumeHeaders(70000, "\"v1\""), "Range: bytes=70000-\r\nIf-Range: \"v1\"\r\n");
}

}  // namespace
