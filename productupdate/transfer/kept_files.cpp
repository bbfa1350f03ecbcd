#include "kept_files.h"

#include <vector>

#include "framework/handles.h"

namespace {

// Far beyond any record: a URL, a length, a validator and a pin.
constexpr DWORD kRecordLimit = 16 * 1024;

std::string NewRecordPath(const std::string& target) { return KeptRecordPath(target) + ".new"; }

}  // namespace

std::string KeptBytesPath(const std::string& target) { return target + ".partial"; }
std::string KeptRecordPath(const std::string& target) { return target + ".resume"; }

std::optional<KeptTransfer> ReadKeptRecord(const std::string& target)
{
    framework::FileHandle file(CreateFileA(KeptRecordPath(target).c_str(), GENERIC_READ,
                                           FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return std::nullopt;
    std::vector<char> text(kRecordLimit + 1);
    DWORD read = 0;
    if (!ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr) ||
        read > kRecordLimit)
        return std::nullopt;
    return ParseKeptRecord(std::string(text.data(), read));
}

bool WriteKeptRecord(const std::string& target, const KeptTransfer& kept)
{
    std::string text = FormatKeptRecord(kept);
    std::string fresh = NewRecordPath(target);
    bool written;
    {
        framework::FileHandle file(CreateFileA(fresh.c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD done = 0;
        written = file && WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &done,
                                    nullptr) &&
                  done == text.size();
    }
    if (written && MoveFileExA(fresh.c_str(), KeptRecordPath(target).c_str(),
                               MOVEFILE_REPLACE_EXISTING))
        return true;
    DeleteFileA(fresh.c_str());
    return false;
}

void DeleteKeptRecord(const std::string& target)
{
    DeleteFileA(KeptRecordPath(target).c_str());
    DeleteFileA(NewRecordPath(target).c_str());
}

std::optional<std::uint64_t> KeptLength(const std::string& target)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(KeptBytesPath(target).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void DiscardKept(const std::string& target)
{
    DeleteKeptRecord(target);
    DeleteFileA(KeptBytesPath(target).c_str());
}
