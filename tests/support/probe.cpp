// Fetches one URL over bare WinINet and says what came back, to see by hand
// (or from a test, as a fresh process) what the platform does:
//   wininet_probe [--proxy HOST:PORT] [--proxy-user U --proxy-password P]
//                 [--no-redirect] [--decode] [--cache] [--header LINE]... [--out FILE] URL
// --cache leaves WinINet's own cache in play (by default every request goes
// to the server and nothing is written to the cache). Prints "status",
// "final-url", the headers that HttpQueryInfo reports, "body-bytes" and the
// raw headers; on a failure "failed: CALL error N". Exits 0 when an answer
// came, 1 on a failure, 2 on a wrong command line.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "support/wininet_probe.h"

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: wininet_probe [--proxy HOST:PORT] [--proxy-user U --proxy-password P]\n"
                 "                     [--no-redirect] [--decode] [--cache] [--header LINE]...\n"
                 "                     [--out FILE] URL\n");
    return 2;
}

void PrintQueried(const char* name, const std::optional<std::string>& value)
{
    std::printf("%s: %s\n", name, value ? value->c_str() : "(none)");
}

}  // namespace

int main(int argc, char** argv)
{
    ProbeRequest request;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--proxy" && hasValue)
            request.proxy = argv[++i];
        else if (arg == "--proxy-user" && hasValue)
            request.proxyUser = argv[++i];
        else if (arg == "--proxy-password" && hasValue)
            request.proxyPassword = argv[++i];
        else if (arg == "--header" && hasValue)
            request.headers += std::string(argv[++i]) + "\r\n";
        else if (arg == "--out" && hasValue)
            out = argv[++i];
        else if (arg == "--no-redirect")
            request.followRedirects = false;
        else if (arg == "--decode")
            request.decode = true;
        else if (arg == "--cache")
            request.flags = 0;
        else if (request.url.empty() && arg.rfind("--", 0) != 0)
            request.url = arg;
        else
            return Usage();
    }
    if (request.url.empty())
        return Usage();

    ProbeResult result = Probe(request);
    if (!result.failedCall.empty()) {
        std::printf("failed: %s error %lu\n", result.failedCall.c_str(), result.error);
        if (result.status == 0)
            return 1;
    }
    std::printf("status: %lu\n", result.status);
    std::printf("final-url: %s\n", result.finalUrl.c_str());
    PrintQueried("content-length", result.contentLength);
    PrintQueried("transfer-encoding", result.transferEncoding);
    PrintQueried("content-encoding", result.contentEncoding);
    PrintQueried("location", result.location);
    std::printf("body-bytes: %lu\n", static_cast<unsigned long>(result.body.size()));
    std::printf("headers:\n%s", result.headers.c_str());
    if (!out.empty())
        std::ofstream(out, std::ios::binary) << result.body;
    return result.failedCall.empty() ? 0 : 1;
}
