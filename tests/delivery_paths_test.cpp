// The module's own transfer against the real servers of tests/with-real-servers:
// the download session started as a run starts it, for the manifest (capped,
// unpinned), a pinned package and an unpinned one, over each way an update
// site may deliver them. A refusal comes with a positive control in the same
// row, a file that the same kind of server does deliver, so that the refusal
// is shown to be the module's own doing, and with the trace line that names
// its cause.
//
// Each group of rows runs in a fresh process of this program, started by the
// one test that is not a group: Wine's WinINet keeps connections and verified
// chains for the whole process, so a proxied row would otherwise reuse a
// direct connection, and a new trust would go unseen.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>

#include "framework/crypto.h"
#include "support/debug_capture.h"
#include "support/notice_window.h"
#include "support/process.h"
#include "support/registry.h"
#include "support/root_store.h"
#include "support/temp_folder.h"
#include "transfer/package_pin.h"
#include "transfer/update_session.h"

using testing::Contains;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

const char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
// Set for a child process: the group of rows it runs.
const char kGroupVariable[] = "VELNOR_DELIVERY_GROUP";
// As the update check reads a manifest.
constexpr std::uint64_t kManifestCap = 1 << 20;
constexpr std::uint64_t kNoCap = std::numeric_limits<std::uint64_t>::max();

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string ServedPath(const std::string& name)
{
    return "Z:" + Env("VELNOR_REAL_SERVER_FILES") + "/" + name;
}

std::string BaseName(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

PackagePin PinOf(const std::string& body)
{
    std::string hex;
    for (std::uint8_t byte : framework::Sha256Of(body.data(), body.size())) {
        static const char kDigits[] = "0123456789abcdef";
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return ReadPackagePin(hex, std::to_string(body.size()));
}

// How a run fetches the file: the manifest, or a package with or without a pin.
enum class Kind { Manifest, PinnedPackage, UnpinnedPackage };

struct Fetched {
    bool succeeded = false;
    std::string file;  // what the target holds afterwards ("" when none)
    std::vector<std::string> traces;
};

// One transfer as the run starts it. A pinned package is pinned to `served`,
// the file that the servers serve under that name unless a row says otherwise.
Fetched Fetch(const std::string& url, Kind kind, const std::string& served = "")
{
    TempFolder folder;
    std::string target =
        folder / (kind == Kind::Manifest ? "VLNRUpdate.ini" : "VLNRUpdatePack.exe");
    PackagePin pin;
    if (kind == Kind::PinnedPackage)
        pin = PinOf(served.empty() ? ReadFileBytes(ServedPath(BaseName(url))) : served);
    NoticeWindow window;
    DebugCapture capture;
    LaunchUpdateSession(url, target, window.hwnd(), pin,
                        kind == Kind::Manifest ? kManifestCap : kNoCap, kind != Kind::Manifest);
    Fetched fetched;
    EXPECT_TRUE(window.WaitForCompletion(120000)) << url;
    fetched.succeeded = window.Completions() == 1 && window.notices.back().succeeded;
    if (FileExists(target))
        fetched.file = ReadFileBytes(target);
    // The worker writes its last line before its completion notice.
    fetched.traces = capture.Texts();
    return fetched;
}

// The URL arrives whole: the target holds the served file.
void ExpectArrives(const std::string& url, Kind kind)
{
    SCOPED_TRACE(url);
    Fetched fetched = Fetch(url, kind);
    EXPECT_TRUE(fetched.succeeded) << testing::PrintToString(fetched.traces);
    EXPECT_TRUE(fetched.file == ReadFileBytes(ServedPath(BaseName(url)))) << "the served file";
}

// The URL fails, leaves no file, and one trace line starts with `line`.
void ExpectRefused(const std::string& url, Kind kind, const std::string& line)
{
    SCOPED_TRACE(url);
    Fetched fetched = Fetch(url, kind);
    EXPECT_FALSE(fetched.succeeded);
    EXPECT_EQ(fetched.file, "");
    EXPECT_THAT(fetched.traces, Contains(StartsWith(line)));
}

bool InGroup(const char* group)
{
    return Env(kGroupVariable) == group;
}

#define SKIP_UNLESS_IN_GROUP(group) \
    if (!InGroup(group))            \
    GTEST_SKIP()                    \
        << "runs in a process of its own, started by DeliveryPaths.EachGroupInAFreshProcess"

TEST(DeliveryPathRows, Direct)
{
    SKIP_UNLESS_IN_GROUP("direct");
    // A file of the same kind of server that arrives, fetched before a refusal.
    struct Control {
        const char* server = nullptr;
        const char* path = nullptr;
        Kind kind = Kind::Manifest;
    };
    struct Row {
        const char* what;
        const char* server;  // the variable that holds its URL
        const char* path;
        Kind kind;
        const char* refusal = nullptr;  // the trace line's start; none: the file arrives
        Control control = {};
    } rows[] = {
        {"https manifest", "VELNOR_HTTPS_URL", "/manifest.ini", Kind::Manifest},
        {"https package", "VELNOR_HTTPS_URL", "/pack.bin", Kind::PinnedPackage},
        {"https unpinned package", "VELNOR_HTTPS_URL", "/pack.bin", Kind::UnpinnedPackage},
        {"301 to https, manifest", "VELNOR_NGINX_URL", "/301/manifest.ini", Kind::Manifest},
        {"301 to https, package", "VELNOR_NGINX_URL", "/301/pack.bin", Kind::PinnedPackage},
        {"302 to https", "VELNOR_NGINX_URL", "/302/manifest.ini", Kind::Manifest},
        {"303 to https", "VELNOR_NGINX_URL", "/303/manifest.ini", Kind::Manifest},
        {"307 to https", "VELNOR_NGINX_URL", "/307/pack.bin", Kind::PinnedPackage},
        {"308 to https", "VELNOR_NGINX_URL", "/308/pack.bin", Kind::UnpinnedPackage},
        {"relative Location", "VELNOR_NGINX_URL", "/relative/manifest.ini", Kind::Manifest},
        {"relative Location with ..", "VELNOR_NGINX_URL", "/relative-dir/pack.bin",
         Kind::PinnedPackage},
        {"a sixth hop",
         "VELNOR_NGINX_URL",
         "/hops6/1/manifest.ini",
         Kind::Manifest,
         "Transfer refused: more than 5 redirects (",
         {"VELNOR_NGINX_URL", "/hops5/1/manifest.ini"}},
        {"a loop",
         "VELNOR_NGINX_URL",
         "/loop/a/manifest.ini",
         Kind::Manifest,
         "Transfer refused: a redirect loop (",
         {"VELNOR_NGINX_URL", "/relative/manifest.ini"}},
        {"https to http",
         "VELNOR_HTTPS_URL",
         "/to-http/manifest.ini",
         Kind::Manifest,
         "Transfer refused: redirect from https to http (",
         {"VELNOR_HTTPS_URL", "/manifest.ini"}},
        {"untrusted authority",
         "VELNOR_HTTPS_UNTRUSTED_URL",
         "/manifest.ini",
         Kind::Manifest,
         "Transfer failed: WinINet error 12045 ERROR_INTERNET_INVALID_CA",
         {"VELNOR_HTTPS_URL", "/manifest.ini"}},
        {"wrong host name",
         "VELNOR_HTTPS_WRONG_NAME_URL",
         "/pack.bin",
         Kind::PinnedPackage,
         "Transfer failed: WinINet error 12038 ERROR_INTERNET_SEC_CERT_CN_INVALID",
         {"VELNOR_HTTPS_URL", "/pack.bin", Kind::PinnedPackage}},
        {"expired certificate",
         "VELNOR_HTTPS_EXPIRED_URL",
         "/manifest.ini",
         Kind::Manifest,
         "Transfer failed: WinINet error 12037 ERROR_INTERNET_SEC_CERT_DATE_INVALID",
         {"VELNOR_HTTPS_URL", "/manifest.ini"}},
        {"HTTP/1.0 close-delimited manifest", "VELNOR_HTTP10_URL", "/manifest.ini", Kind::Manifest},
        {"HTTP/1.0 close-delimited pinned package", "VELNOR_HTTP10_URL", "/pack.bin",
         Kind::PinnedPackage},
        {"HTTP/1.0 close-delimited unpinned package",
         "VELNOR_HTTP10_URL",
         "/pack.bin",
         Kind::UnpinnedPackage,
         "Transfer refused: no Content-Length, and no pinned size to check the body against (",
         {"VELNOR_HTTP10_URL", "/pack.bin", Kind::PinnedPackage}},
        {"chunked manifest", "VELNOR_NGINX_URL", "/chunked/manifest.ini", Kind::Manifest},
        {"chunked pinned package", "VELNOR_NGINX_URL", "/chunked/pack.bin", Kind::PinnedPackage},
        {"gzip manifest, not asked for",
         "VELNOR_NGINX_URL",
         "/gzip/manifest.ini",
         Kind::Manifest,
         "Transfer refused: Content-Encoding gzip (",
         {"VELNOR_NGINX_URL", "/manifest.ini"}},
        {"gzip package, not asked for",
         "VELNOR_NGINX_URL",
         "/gzip-chunked/pack.bin",
         Kind::PinnedPackage,
         "Transfer refused: Content-Encoding gzip (",
         {"VELNOR_NGINX_URL", "/chunked/pack.bin", Kind::PinnedPackage}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.control.server)
            ExpectArrives(Env(row.control.server) + row.control.path, row.control.kind);
        if (row.refusal)
            ExpectRefused(Env(row.server) + row.path, row.kind, row.refusal);
        else
            ExpectArrives(Env(row.server) + row.path, row.kind);
    }
}

// Requests for the path in the origin's access log, of those that came
// through the proxy named `via` when one is named.
size_t OriginRequests(const std::string& path, const std::string& via = "")
{
    std::string log = ReadFileBytes("Z:" + Env("VELNOR_NGINX_ACCESS_LOG"));
    size_t count = 0;
    for (size_t at = 0; (at = log.find("\"GET " + path + " ", at)) != std::string::npos; ++at) {
        std::string line = log.substr(at, log.find('\n', at) - at);
        count += line.find(via) != std::string::npos;
    }
    return count;
}

// A file the origin serves that the row changes; cacheable for an hour
// under /max-age/.
void ServeChanging(const std::string& name, const std::string& body)
{
    std::string path = ServedPath(name);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, body.data(), static_cast<DWORD>(body.size()), &written, nullptr);
    CloseHandle(file);
}

// Through the caching proxy (the user's proxy setting): the manifest always
// comes from the origin; a pinned package may come from the cache, and a
// stale cached copy is asked once more of the origin.
TEST(DeliveryPathRows, CachingProxy)
{
    SKIP_UNLESS_IN_GROUP("caching-proxy");
    const std::string site = Env("VELNOR_NGINX_URL") + "/max-age/";
    ServeChanging("changing.ini", "[Update]\r\nVersion=1.0.0.1\r\n");
    ASSERT_EQ(Fetch(site + "changing.ini", Kind::Manifest).file, "[Update]\r\nVersion=1.0.0.1\r\n");
    ServeChanging("changing.ini", "[Update]\r\nVersion=1.0.0.2\r\n");
    EXPECT_EQ(Fetch(site + "changing.ini", Kind::Manifest).file, "[Update]\r\nVersion=1.0.0.2\r\n")
        << "the second manifest is the origin's new one, not the cache's";

    const std::string first(200000, 'a');
    ServeChanging("changing.bin", first);
    for (int run = 0; run < 2; ++run)
        EXPECT_TRUE(Fetch(site + "changing.bin", Kind::PinnedPackage, first).file == first);
    EXPECT_EQ(OriginRequests("/max-age/changing.bin"), 1u)
        << "the second copy comes from the cache";

    // A new release under the same URL: the cache's copy is stale.
    for (const std::string& next : {std::string(200000, 'b'), std::string(150000, 'c')}) {
        SCOPED_TRACE(next.size());
        ServeChanging("changing.bin", next);
        Fetched fetched = Fetch(site + "changing.bin", Kind::PinnedPackage, next);
        EXPECT_TRUE(fetched.succeeded) << testing::PrintToString(fetched.traces);
        EXPECT_TRUE(fetched.file == next) << "the new release, not the cache's copy";
        EXPECT_THAT(fetched.traces, Contains(HasSubstr(": asking the origin server")));
    }
}

TEST(DeliveryPathRows, AuthProxyWithoutCredentials)
{
    SKIP_UNLESS_IN_GROUP("auth-proxy");
    ExpectRefused(Env("VELNOR_NGINX_URL") + "/manifest.ini", Kind::Manifest,
                  "Transfer refused: the proxy asks for credentials (HTTP status 407)");
}

TEST(DeliveryPathRows, AuthProxyWithThePlatformsCredentials)
{
    SKIP_UNLESS_IN_GROUP("auth-proxy-credentials");
    ExpectArrives(Env("VELNOR_NGINX_URL") + "/manifest.ini", Kind::Manifest);
    ExpectArrives(Env("VELNOR_NGINX_URL") + "/pack.bin", Kind::PinnedPackage);
    EXPECT_EQ(OriginRequests("/pack.bin", "velnor-auth-proxy"), 1u) << "through the proxy, not around it";
}

// Runs each group of rows above in a process of its own, with the test
// authority trusted in the prefix and the group's proxy in the user's
// settings, as the platform would hold them.
TEST(DeliveryPaths, EachGroupInAFreshProcess)
{
    if (Env("VELNOR_HTTPS_URL").empty())
        GTEST_SKIP() << "started without the real servers (tests/with-real-servers starts them)";
    if (!Env(kGroupVariable).empty())
        GTEST_SKIP() << "a group's own process";
    TrustedRoot authority("Z:" + Env("VELNOR_CA_DER"));
    SavedRegValue proxyEnable(HKEY_CURRENT_USER, kInternetSettings, "ProxyEnable");
    SavedRegValue proxyServer(HKEY_CURRENT_USER, kInternetSettings, "ProxyServer");
    const std::string credentialsProxy = "http://" + Env("VELNOR_PROXY_USER") + ":" +
                                         Env("VELNOR_PROXY_PASSWORD") + "@" +
                                         Env("VELNOR_AUTH_PROXY");
    struct Group {
        const char* name;
        const char* test;
        std::string proxy;      // the user's proxy setting; empty: direct
        std::string httpProxy;  // the environment's, which carries credentials
    } groups[] = {
        {"direct", "Direct", "", ""},
        {"caching-proxy", "CachingProxy", Env("VELNOR_CACHING_PROXY"), ""},
        {"auth-proxy", "AuthProxyWithoutCredentials", Env("VELNOR_AUTH_PROXY"), ""},
        {"auth-proxy-credentials", "AuthProxyWithThePlatformsCredentials", "", credentialsProxy},
    };
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    for (const Group& group : groups) {
        SCOPED_TRACE(group.name);
        WriteRegDword(HKEY_CURRENT_USER, kInternetSettings, "ProxyEnable", !group.proxy.empty());
        WriteRegString(HKEY_CURRENT_USER, kInternetSettings, "ProxyServer", group.proxy);
        SetEnvironmentVariableA(kGroupVariable, group.name);
        SetEnvironmentVariableA("http_proxy",
                                group.httpProxy.empty() ? nullptr : group.httpProxy.c_str());
        ChildProcess child(
            "\"" + std::string(program) + "\" --gtest_filter=DeliveryPathRows." + group.test,
            ProgramFolder());
        ProcessResult result = child.Wait(240000);
        SetEnvironmentVariableA(kGroupVariable, nullptr);
        SetEnvironmentVariableA("http_proxy", nullptr);
        EXPECT_EQ(result.exitCode, 0u) << result.output << result.errorOutput;
        EXPECT_THAT(result.output, HasSubstr("[  PASSED  ] 1 test")) << result.output;
    }
}

}  // namespace
