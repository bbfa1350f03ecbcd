#include "held_package.h"

#include <optional>
#include <vector>

#include "framework/crypto.h"
#include "framework/debug_output.h"
#include "transfer/transfer_failure.h"

namespace {

std::optional<std::uint64_t> SizeOf(HANDLE file)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size))
        return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
}

// nullopt when the file cannot be read or the system cannot hash.
std::optional<framework::Sha256Digest> DigestOf(HANDLE file)
try {
    framework::Sha256 digest;
    std::vector<char> buffer(1 << 16);
    DWORD read = 0;
    while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
        if (read == 0)
            return digest.Finish();
        digest.Update(buffer.data(), read);
    }
    return std::nullopt;
} catch (const framework::Failure&) {
    return std::nullopt;
}

}  // namespace

framework::FileHandle HoldPackage(const std::string& path, const PackagePin& pin)
{
    framework::FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return {};
    std::optional<std::uint64_t> size = SizeOf(file.get());
    if (!size || *size == 0)
        return {};
    if (pin.size && *pin.size != *size) {
        framework::DebugOutput(kSizeMismatch);
        return {};
    }
    if (pin.digest && DigestOf(file.get()) != pin.digest) {
        framework::DebugOutput(kDigestMismatch);
        return {};
    }
    return file;
}
