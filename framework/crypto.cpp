#include "crypto.h"

#include <bcrypt.h>

#include <vector>

namespace framework {

namespace {

struct AlgorithmCloser {
    void operator()(BCRYPT_ALG_HANDLE algorithm) const { BCryptCloseAlgorithmProvider(algorithm, 0); }
};
struct HashCloser {
    void operator()(BCRYPT_HASH_HANDLE hash) const { BCryptDestroyHash(hash); }
};
struct KeyCloser {
    void operator()(BCRYPT_KEY_HANDLE key) const { BCryptDestroyKey(key); }
};
using Algorithm = std::unique_ptr<void, AlgorithmCloser>;
using Hash = std::unique_ptr<void, HashCloser>;
using Key = std::unique_ptr<void, KeyCloser>;

bool Succeeded(NTSTATUS status) { return status >= 0; }

Algorithm OpenAlgorithm(LPCWSTR name)
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!Succeeded(BCryptOpenAlgorithmProvider(&algorithm, name, nullptr, 0)))
        return nullptr;
    return Algorithm(algorithm);
}

}  // namespace

struct Sha256::State {
    Algorithm algorithm;
    Hash hash;
};

Sha256::Sha256() : state_(std::make_unique<State>())
{
    state_->algorithm = OpenAlgorithm(BCRYPT_SHA256_ALGORITHM);
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!state_->algorithm ||
        !Succeeded(BCryptCreateHash(state_->algorithm.get(), &hash, nullptr, 0, nullptr, 0, 0)))
        throw Failure(FailureKind::System, "SHA-256 unavailable");
    state_->hash.reset(hash);
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, size_t size)
{
    const auto* bytes = static_cast<const UCHAR*>(data);
    while (size > 0) {
        ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        if (!Succeeded(BCryptHashData(state_->hash.get(), const_cast<UCHAR*>(bytes), piece, 0)))
            throw Failure(FailureKind::System, "SHA-256 unavailable");
        bytes += piece;
        size -= piece;
    }
}

Sha256Digest Sha256::Finish()
{
    Sha256Digest digest{};
    if (!Succeeded(BCryptFinishHash(state_->hash.get(), digest.data(), digest.size(), 0)))
        throw Failure(FailureKind::System, "SHA-256 unavailable");
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!Succeeded(BCryptCreateHash(state_->algorithm.get(), &hash, nullptr, 0, nullptr, 0, 0)))
        throw Failure(FailureKind::System, "SHA-256 unavailable");
    state_->hash.reset(hash);
    return digest;
}

Sha256Digest Sha256Of(const void* data, size_t size)
{
    Sha256 hash;
    hash.Update(data, size);
    return hash.Finish();
}

bool VerifyEcdsaP256(const EcPoint& publicKey, const Sha256Digest& digest,
                     const EcdsaSignature& signature)
{
    Algorithm algorithm = OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!algorithm)
        return false;
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + publicKey.size());
    BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    memcpy(blob.data(), &header, sizeof header);
    memcpy(blob.data() + sizeof header, publicKey.data(), publicKey.size());
    BCRYPT_KEY_HANDLE imported = nullptr;
    if (!Succeeded(BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &imported,
                                       blob.data(), static_cast<ULONG>(blob.size()), 0)))
        return false;
    Key key(imported);
    return BCryptVerifySignature(key.get(), nullptr, const_cast<UCHAR*>(digest.data()),
                                 static_cast<ULONG>(digest.size()), const_cast<UCHAR*>(signature.data()),
                                 static_cast<ULONG>(signature.size()), 0) == 0;
}

std::uint64_t RandomU64()
{
    std::uint64_t value = 0;
    if (BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&value), sizeof value,
                        BCRYPT_USE_SYSTEM_PREFERRED_RNG) >= 0)
        return value;
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<std::uint64_t>(counter.QuadPart) ^
           (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) ^ GetTickCount();
}

}  // namespace framework
