// Signs manifests as scripts/sign-manifest does, in the test's own process:
// ECDSA P-256 over the SHA-256 of the text through the system's CNG, the
// signature as minimal DER with the low S, appended as ";signature=" line.
#pragma once

#include <memory>
#include <string>

class ManifestSigner {
public:
    // PEM text of an "EC PRIVATE KEY" (openssl ecparam -genkey); throws when it does not read.
    explicit ManifestSigner(const std::string& privateKeyPem);
    ~ManifestSigner();
    ManifestSigner(const ManifestSigner&) = delete;
    ManifestSigner& operator=(const ManifestSigner&) = delete;

    // The text followed by its signature line (the text must end in a line end).
    std::string Sign(const std::string& text) const;

private:
    struct Key;
    std::unique_ptr<Key> key_;
};
