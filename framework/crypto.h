// SHA-256 and ECDSA P-256 signature checks through the system's own
// cryptography (CNG). Nothing here is implemented by the project.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "failure.h"
#include "win.h"

namespace framework {

using Sha256Digest = std::array<uint8_t, 32>;

// A digest computed piece by piece, as the bytes arrive. Every operation
// raises Failure when the system's hash fails or the system has none.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, size_t size);
    // The digest of everything given; the object then starts anew.
    Sha256Digest Finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

Sha256Digest Sha256Of(const void* data, size_t size);

// A public key of the curve P-256: 32 bytes of X, then 32 bytes of Y.
using EcPoint = std::array<uint8_t, 64>;
// An ECDSA signature as r then s, 32 bytes each.
using EcdsaSignature = std::array<uint8_t, 64>;

// True only when the signature over the digest verifies with the key; false
// for a bad signature, a key off the curve, or a system without P-256.
bool VerifyEcdsaP256(const EcPoint& publicKey, const Sha256Digest& digest,
                     const EcdsaSignature& signature);

// 64 bits from the system's random generator. Where it fails, a mix of the
// clock, the process and the tick count: never the C runtime's rand(), which
// nothing seeds and which gives every process the same sequence.
std::uint64_t RandomU64();

}  // namespace framework
