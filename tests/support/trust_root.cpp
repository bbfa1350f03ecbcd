// Trusts a certificate authority in the Wine prefix's Root store, or stops
// trusting it, for scripts that run the product against the real servers:
//   trust_root add|remove FILE.der
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "framework/win.h"
#include "support/root_store.h"

int main(int argc, char** argv)
{
    if (argc != 3 || (std::strcmp(argv[1], "add") != 0 && std::strcmp(argv[1], "remove") != 0)) {
        std::fprintf(stderr, "usage: trust_root add|remove FILE.der\n");
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    std::string der{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (der.empty()) {
        std::fprintf(stderr, "trust_root: cannot read %s\n", argv[2]);
        return 1;
    }
    bool add = std::strcmp(argv[1], "add") == 0;
    if (!(add ? AddTrustedRoot(der) : RemoveTrustedRoot(der))) {
        std::fprintf(stderr, "trust_root: %s failed, error %lu\n", argv[1], GetLastError());
        return 1;
    }
    return 0;
}
