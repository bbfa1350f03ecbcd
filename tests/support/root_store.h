// The machine's Root store of the Wine prefix the tests run in: where a test
// trusts the authority that tests/with-real-servers made for this run. Never
// the Linux system's store: the prefix keeps it in its own registry.
#pragma once

#include <string>

// Adds the DER certificate to the Root store, and first removes the test
// authorities that have expired (a crashed run leaves its own behind). False,
// with GetLastError set, when the store refuses.
bool AddTrustedRoot(const std::string& der);
// Removes it from the Root store; true also when it was not there.
bool RemoveTrustedRoot(const std::string& der);

// Trusts the authority in the DER file (a Windows path) while it lives.
// Throws when the file cannot be read or the store refuses it.
class TrustedRoot {
public:
    explicit TrustedRoot(const std::string& derPath);
    ~TrustedRoot();
    TrustedRoot(const TrustedRoot&) = delete;
    TrustedRoot& operator=(const TrustedRoot&) = delete;

private:
    std::string der_;
};
