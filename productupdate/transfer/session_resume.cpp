// The resuming half of a package transfer: what the kept bytes of an
// earlier run are worth, how a ranged answer continues them, and what a
// cut transfer keeps for the next run.
#include <algorithm>
#include <string>
#include <vector>

#include "framework/debug_output.h"
#include "framework/output_file.h"
#include "kept_files.h"
#include "update_session.h"

namespace {

[[noreturn]] void Fail() { throw framework::Failure(); }

std::string Header(framework::HttpRequest& request, DWORD level)
{
    std::string value;
    if (!request.QueryInfo(level, value))
        value.clear();
    return value;
}

// The digest of the first length bytes of a file; nothing when they cannot be read.
std::unique_ptr<framework::Sha256> DigestOfFirst(const std::string& path, std::uint64_t length)
{
    framework::FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return nullptr;
    auto digest = std::make_unique<framework::Sha256>();
    std::vector<char> buffer(1 << 16);
    while (length > 0) {
        DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(length, buffer.size())), read = 0;
        if (!ReadFile(file.get(), buffer.data(), want, &read, nullptr) || read == 0)
            return nullptr;
        digest->Update(buffer.data(), read);
        length -= read;
    }
    return digest;
}

void StartsOver(const char* why)
{
    framework::DebugOutput((std::string("Package transfer starts over: ") + why).c_str());
}

}  // namespace

UpdateSession::Resume UpdateSession::PrepareResume()
{
    Resume resume;
    std::optional<KeptTransfer> kept = ReadKeptRecord(m_strFile);
    if (!kept) {
        // Bytes without a readable record (a host ended before the headers
        // were all in) can never be continued.
        DiscardKept(m_strFile);
        return resume;
    }
    std::optional<std::uint64_t> length = KeptLength(m_strFile);
    const char* unusable = nullptr;
    if (!KeptServes(*kept, m_strUrl, m_pin))
        unusable = "the kept bytes are of another package";
    else if (!length || *length == 0 || *length >= kept->total)
        unusable = "the kept bytes do not fit their record";
    else if (m_pin.digest && !(resume.digest = DigestOfFirst(KeptBytesPath(m_strFile), *length)))
        unusable = "the kept bytes cannot be read";
    if (unusable) {
        StartsOver(unusable);
        DiscardKept(m_strFile);
        return Resume{};
    }
    resume.length = *length;
    resume.kept = std::move(*kept);
    return resume;
}

UpdateSession::Body UpdateSession::ContinueOrRestart(framework::HttpRequest& request, DWORD status,
                                                     std::uint64_t declared,
                                                     framework::OutputFile& file, Resume& resume)
{
    if (status == 200) {
        // The server ignored the range, or the file changed: this answer is
        // the whole file, and the kept bytes are worth nothing.
        StartsOver("the server sent the whole file");
        DeleteKeptRecord(m_strFile);
        file.Restart();
        resume = Resume{};
        return {0, declared};
    }
    if (status != 206)
        RefuseResume("Package transfer resume refused: the answer is not the range asked for");
    std::optional<ContentRange> range = ParseContentRange(Header(request, HTTP_QUERY_CONTENT_RANGE));
    std::string etag = Header(request, HTTP_QUERY_ETAG);
    if (!RangeContinues(range, declared, resume.length, resume.kept.total) ||
        (!resume.kept.etag.empty() && !etag.empty() && etag != resume.kept.etag))
        RefuseResume("Package transfer resume refused: the range does not fit the kept bytes");
    framework::DebugOutput(
        ("Package transfer resumes from byte " + std::to_string(resume.length)).c_str());
    keep_ = true;
    return {resume.length, resume.kept.total};
}

// A body from byte 0 is kept, should it be cut, only under a validator
// that lets the next run ask for the rest of this very file.
void UpdateSession::KeepFrom(framework::HttpRequest& request, const Body& body)
{
    if (body.received > 0)
        return;  // continued: the record is already the right one
    std::optional<Validator> validator =
        ChooseValidator(Header(request, HTTP_QUERY_ETAG), Header(request, HTTP_QUERY_LAST_MODIFIED));
    keep_ = false;
    if (validator && body.total > 0) {
        KeptTransfer kept{m_strUrl, body.total, validator->etag, validator->lastModified, m_pin};
        keep_ = WriteKeptRecord(m_strFile, kept);
    }
    if (!keep_)
        DeleteKeptRecord(m_strFile);
}

void UpdateSession::RefuseResume(const char* why)
{
    framework::DebugOutput(why);
    keep_ = false;  // the next run starts from byte 0
    Fail();
}

// Leaves the bytes received and their record for the next run; false when
// there is nothing worth keeping.
bool UpdateSession::KeepCut(framework::OutputFile& file)
{
    try {
        file.Close();
    } catch (...) {
        // What reached the disk is still the start of the file.
    }
    std::optional<std::uint64_t> length = KeptLength(m_strFile);
    if (!length || *length == 0)
        return false;
    framework::DebugOutput(
        ("Package transfer cut at byte " + std::to_string(*length) + ": kept for the next run").c_str());
    return true;
}

// The whole file takes the target's name; its record has served.
void UpdateSession::Complete()
{
    keep_ = false;
    if (!MoveFileExA(KeptBytesPath(m_strFile).c_str(), m_strFile.c_str(), MOVEFILE_REPLACE_EXISTING))
        Fail();
    DeleteKeptRecord(m_strFile);
}
