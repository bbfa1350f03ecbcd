// The real servers of tests/with-real-servers as bare WinINet sees them in the
// test prefix: the control that the rig works and what the platform does with
// each kind of answer, before the module's own cases build on them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/process.h"
#include "support/registry.h"
#include "support/root_store.h"
#include "support/temp_folder.h"
#include "support/wininet_probe.h"

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

std::string Describe(const ProbeResult& r)
{
    return "failed call: " + r.failedCall + " error " + std::to_string(r.error) + ", status " +
           std::to_string(r.status) + ", final URL " + r.finalUrl + "\n" + r.headers;
}

class RealServers : public testing::Test {
protected:
    void SetUp() override
    {
        if (Env("VELNOR_HTTPS_URL").empty())
            GTEST_SKIP() << "started without the real servers (tests/with-real-servers starts them)";
        // Direct unless a row names a proxy: the user's settings say so.
        WriteRegDword(HKEY_CURRENT_USER, kInternetSettings, "ProxyEnable", 0);
    }

    SavedRegValue proxyEnable_{HKEY_CURRENT_USER, kInternetSettings, "ProxyEnable"};
    SavedRegValue proxyServer_{HKEY_CURRENT_USER, kInternetSettings, "ProxyServer"};
};

enum class Proxy { None, CachingInSettings, AuthNamed, AuthNamedWithCredentials };
enum class Body { File, GzippedFile, Any };

TEST_F(RealServers, AnswerBareWinInetAsEachRowSays)
{
    TrustedRoot authority("Z:" + Env("VELNOR_CA_DER"));
    struct Row {
        const char* what;
        const char* server;  // the variable that holds its URL
        const char* path;
        Proxy proxy;
        bool followRedirects;
        DWORD error;  // the WinINet error expected; 0: an answer
        DWORD status;
        const char* header;  // a line the answer's headers hold
        Body body;
        const char* file;
    } rows[] = {
        {"trusted certificate", "VELNOR_HTTPS_URL", "/manifest.ini", Proxy::None, true, 0, 200, "", Body::File, "manifest.ini"},
        {"other authority", "VELNOR_HTTPS_UNTRUSTED_URL", "/manifest.ini", Proxy::None, true, ERROR_INTERNET_INVALID_CA, 0, "", Body::Any, ""},
        {"wrong host name", "VELNOR_HTTPS_WRONG_NAME_URL", "/manifest.ini", Proxy::None, true, ERROR_INTERNET_SEC_CERT_CN_INVALID, 0, "", Body::Any, ""},
        {"expired certificate", "VELNOR_HTTPS_EXPIRED_URL", "/manifest.ini", Proxy::None, true, ERROR_INTERNET_SEC_CERT_DATE_INVALID, 0, "", Body::Any, ""},
        {"caching proxy of the user's settings", "VELNOR_NGINX_URL", "/manifest.ini", Proxy::CachingInSettings, true, 0, 200, "velnor-caching-proxy", Body::File, "manifest.ini"},
        {"auth proxy, no credentials", "VELNOR_NGINX_URL", "/manifest.ini", Proxy::AuthNamed, true, 0, 407, "Proxy-Authenticate: Basic", Body::Any, ""},
        {"auth proxy, credentials", "VELNOR_NGINX_URL", "/manifest.ini", Proxy::AuthNamedWithCredentials, true, 0, 200, "velnor-auth-proxy", Body::File, "manifest.ini"},
        {"HTTP/1.0, close-delimited", "VELNOR_HTTP10_URL", "/pack.bin", Proxy::None, true, 0, 200, "HTTP/1.0 200", Body::File, "pack.bin"},
        {"chunked", "VELNOR_NGINX_URL", "/chunked/pack.bin", Proxy::None, true, 0, 200, "Transfer-Encoding: chunked", Body::File, "pack.bin"},
        {"gzip, not asked for", "VELNOR_NGINX_URL", "/gzip/manifest.ini", Proxy::None, true, 0, 200, "Content-Encoding: gzip", Body::GzippedFile, "manifest.ini"},
        {"gzip and chunked", "VELNOR_NGINX_URL", "/gzip-chunked/pack.bin", Proxy::None, true, 0, 200, "Transfer-Encoding: chunked", Body::Any, ""},
        {"301 to https, not followed", "VELNOR_NGINX_URL", "/301/manifest.ini", Proxy::None, false, 0, 301, "Location: https://", Body::Any, ""},
        {"301 to https, followed", "VELNOR_NGINX_URL", "/301/manifest.ini", Proxy::None, true, 0, 200, "", Body::File, "manifest.ini"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ProbeRequest request;
        request.url = Env(row.server) + row.path;
        request.followRedirects = row.followRedirects;
        WriteRegDword(HKEY_CURRENT_USER, kInternetSettings, "ProxyEnable", row.proxy == Proxy::CachingInSettings);
        WriteRegString(HKEY_CURRENT_USER, kInternetSettings, "ProxyServer", Env("VELNOR_CACHING_PROXY"));
        if (row.proxy == Proxy::AuthNamed || row.proxy == Proxy::AuthNamedWithCredentials)
            request.proxy = Env("VELNOR_AUTH_PROXY");
        if (row.proxy == Proxy::AuthNamedWithCredentials) {
            request.proxyUser = Env("VELNOR_PROXY_USER");
            request.proxyPassword = Env("VELNOR_PROXY_PASSWORD");
        }
        ProbeResult result = Probe(request);
        if (row.error) {
            EXPECT_EQ(result.failedCall, "HttpSendRequest") << Describe(result);
            EXPECT_EQ(result.error, row.error) << Describe(result);
            continue;
        }
        ASSERT_EQ(result.failedCall, "") << Describe(result);
        EXPECT_EQ(result.status, row.status) << Describe(result);
        EXPECT_THAT(result.headers, HasSubstr(row.header));
        if (row.body == Body::File) {
            EXPECT_EQ(result.body, ServedFile(row.file));
        } else if (row.body == Body::GzippedFile) {
            EXPECT_EQ(result.body, ServedFile(std::string(row.file) + ".gz"));
        }
    }
}

// The trust is the prefix's and lasts as long as a test keeps it: the same
// server is refused before and after. A fresh process sees each state.
TEST_F(RealServers, TheAuthorityIsTrustedOnlyWhileATestTrustsIt)
{
    auto probe = [] {
        return RunProcess("\"" + ProgramFolder() + "\\wininet_probe.exe\" " + Env("VELNOR_HTTPS_URL") +
                              "/manifest.ini",
                          ProgramFolder())
            .output;
    };
    const std::string refused = "failed: HttpSendRequest error " + std::to_string(ERROR_INTERNET_INVALID_CA);
    EXPECT_THAT(probe(), StartsWith(refused));
    {
        TrustedRoot authority("Z:" + Env("VELNOR_CA_DER"));
        EXPECT_THAT(probe(), StartsWith("status: 200"));
    }
    EXPECT_THAT(probe(), StartsWith(refused));
}

}  // namespace
