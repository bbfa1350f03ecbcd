// The publisher's signature on a manifest: the last line of the file is
// ";signature=" and the base64 of the DER ECDSA P-256 signature over the
// SHA-256 of every byte before that line, as `openssl dgst -sha256 -sign`
// writes it with S made low (scripts/lib/ecdsa-low-s). To a reader of the
// INI text it is a comment line.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/crypto.h"

// Strict base64 (RFC 4648, with padding); nullopt for anything else.
std::optional<std::vector<uint8_t>> DecodeBase64(std::string_view text);

// The r and s of a DER ECDSA-Sig-Value, each left-padded to 32 bytes;
// nullopt for an encoding that is not exactly one such value: minimal
// INTEGERs (33 bytes only as 00 and then a byte of 0x80 or more) and S at
// most n/2 (n the order of P-256), so that a signature has one encoding.
std::optional<framework::EcdsaSignature> SignatureFromDer(const std::vector<uint8_t>& der);

// The point of a PEM "PUBLIC KEY" of the curve P-256, as `openssl ec
// -pubout` writes it; nullopt for any other key or text.
std::optional<framework::EcPoint> PublicKeyFromPem(std::string_view pem);

struct SignedText {
    std::string_view signedBytes;  // every byte before the signature line
    std::string_view signature;    // the base64 text of the line, without its line end
};
// The manifest split at its last line; nullopt when that is no signature line.
std::optional<SignedText> SplitSignature(std::string_view manifest);

// True only when the manifest ends in a signature line that verifies with the key.
bool ManifestSignatureHolds(std::string_view manifest, const framework::EcPoint& key);
