// The real servers of tests/with-real-servers as bare WinINet sees them in the
// test prefix: the control that the rig works and what the platform does with
// each kind of answer, before the module's own cases build on them.
//
// Each request is made by wininet_probe.exe, a process of its own: Wine's
// WinINet keeps state for the whole process (kept-alive connections that a
// later request through a proxy reuses to go straight to the origin, and
// verified certificate chains), which would make a row depend on the ones
// before it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/process.h"
#include "support/registry.h"
#include "support/root_store.h"
#include "support/temp_folder.h"

using testing::HasSubstr;
using testing::StartsWith;

namespace {

const char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// A file the servers serve, read through the prefix's Z: drive.
std::string ServedFile(const std::string& name)
{
    return ReadFileBytes("Z:" + Env("VELNOR_REAL_SERVER_FILES") + "/" + name);
}

// What wininet_probe.exe prints for one request (see tests/support/probe.cpp).
std::string ProbeOutput(const std::string& arguments)
{
    return RunProcess("\"" + ProgramFolder() + "\\wininet_probe.exe\" " + arguments, ProgramFolder())
        .output;
}

class RealServers : public testing::Test {
protected:
    void SetUp() override
    {
        if (Env("VELNOR_HTTPS_URL").empty())
            GTEST_SKIP() << "started without the real servers (tests/with-real-servers starts them)";
        // Direct, unless a row sets the user's proxy.
        WriteRegDword(HKEY_CURRENT_USER, kInternetSettings, "ProxyEnable", 0);
        WriteRegString(HKEY_CURRENT_USER, kInternetSettings, "ProxyServer", Env("VELNOR_CACHING_PROXY"));
    }

    SavedRegValue proxyEnable_{HKEY_CURRENT_USER, kInternetSettings, "ProxyEnable"};
    SavedRegValue proxyServer_{HKEY_CURRENT_USER, kInternetSettings, "ProxyServer"};
    TempFolder folder_;
};

enum class Proxy { None, CachingInUserSettings, Auth, AuthWithCredentials };

TEST_F(RealServers, AnswerBareWinInetAsEachRowSays)
{
    TrustedRoot authority("Z:" + Env("VELNOR_CA_DER"));
    struct Row {
        const char* what;
        const char* server;  // the variable that holds its URL
        const char* path;
        Proxy proxy;
        const char* options;   // more options of the probe
        const char* outcome;   // the probe's first line
        const char* header;    // a line of the answer's headers
        const char* body;      // the served file the body equals, if any
    } rows[] = {
        {"trusted certificate", "VELNOR_HTTPS_URL", "/manifest.ini", Proxy::None, "", "status: 200", "", "manifest.ini"},
        {"other authority", "VELNOR_HTTPS_UNTRUSTED_URL", "/manifest.ini", Proxy::None, "", "failed: HttpSendRequest error 12045", "", nullptr},
        {"wrong host name", "VELNOR_HTTPS_WRONG_NAME_URL", "/manifest.ini", Proxy::None, "", "failed: HttpSendRequest error 12038", "", nullptr},
        {"expired certificate", "VELNOR_HTTPS_EXPIRED_URL", "/manifest.ini", Proxy::None, "", "failed: HttpSendRequest error 12037", "", nullptr},
        {"caching proxy of the user's settings", "VELNOR_NGINX_URL", "/manifest.ini", Proxy::CachingInUserSettings, "", "status: 200", "Via: 1.1 velnor-caching-proxy", "manifest.ini"},
        {"auth proxy, no credentials", "VELNOR_NGINX_URL", "/manifest.ini", Proxy::Auth, "", "status: 407", "Proxy-Authenticate: Basic", nullptr},
        {"auth proxy, credentials", "VELNOR_NGINX_URL", "/manifest.ini", Proxy::AuthWithCredentials, "", "status: 200", "Via: 1.1 velnor-auth-proxy", "manifest.ini"},
        {"HTTP/1.0, close-delimited", "VELNOR_HTTP10_URL", "/pack.bin", Proxy::None, "", "status: 200", "content-length: (none)", "pack.bin"},
        {"chunked", "VELNOR_NGINX_URL", "/chunked/pack.bin", Proxy::None, "", "status: 200", "transfer-encoding: chunked", "pack.bin"},
        {"gzip, not asked for", "VELNOR_NGINX_URL", "/gzip/manifest.ini", Proxy::None, "", "status: 200", "content-encoding: gzip", "manifest.ini.gz"},
        {"gzip and chunked", "VELNOR_NGINX_URL", "/gzip-chunked/pack.bin", Proxy::None, "", "status: 200", "content-encoding: gzip", nullptr},
        {"301 to https, not followed", "VELNOR_NGINX_URL", "/301/manifest.ini", Proxy::None, "--no-redirect", "status: 301", "location: https://localhost:", nullptr},
        {"301 to https, followed", "VELNOR_NGINX_URL", "/301/manifest.ini", Proxy::None, "", "status: 200", "final-url: https://localhost:", "manifest.ini"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        WriteRegDword(HKEY_CURRENT_USER, kInternetSettings, "ProxyEnable", row.proxy == Proxy::CachingInUserSettings);
        std::string arguments = row.options;
        if (row.proxy == Proxy::Auth || row.proxy == Proxy::AuthWithCredentials)
            arguments += " --proxy " + Env("VELNOR_AUTH_PROXY");
        if (row.proxy == Proxy::AuthWithCredentials)
            arguments += " --proxy-user " + Env("VELNOR_PROXY_USER") + " --proxy-password " + Env("VELNOR_PROXY_PASSWORD");
        std::string body = folder_ / "body";
        DeleteFileA(body.c_str());
        std::string output = ProbeOutput(arguments + " --out \"" + body + "\" " + Env(row.server) + row.path);
        EXPECT_THAT(output, StartsWith(row.outcome)) << output;
        EXPECT_THAT(output, HasSubstr(row.header)) << output;
        if (row.body) {
            EXPECT_EQ(ReadFileBytes(body), ServedFile(row.body));
        }
    }
}

// The trust is the prefix's and lasts as long as a test keeps it: the same
// server is refused before and after.
TEST_F(RealServers, TheAuthorityIsTrustedOnlyWhileATestTrustsIt)
{
    const std::string url = Env("VELNOR_HTTPS_URL") + "/manifest.ini";
    const char refused[] = "failed: HttpSendRequest error 12045";
    EXPECT_THAT(ProbeOutput(url), StartsWith(refused));
    {
        TrustedRoot authority("Z:" + Env("VELNOR_CA_DER"));
        EXPECT_THAT(ProbeOutput(url), StartsWith("status: 200"));
    }
    EXPECT_THAT(ProbeOutput(url), StartsWith(refused));
}

}  // namespace
