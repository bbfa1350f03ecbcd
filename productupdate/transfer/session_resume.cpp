// The resuming half of a package transfer: what the kept bytes of an
// earlier run are worth, how a ranged answer continues them, and what a
// cut transfer keeps for the next run.
#include <algorithm>
#include <string>
#include <vector>

#include "framework/debug_output.h"
#include "framework/internet_error.h"
#include "framework/output_file.h"
#include "kept_files.h"
#include "transfer_failure.h"
#include "update_session.h"

namespace {

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

// Kept bytes are worth their URL only while it answers the ranged request:
// a URL that gives no connection, or any status but 200, 206 or 416, drops
// them, so that the next run goes back to the random pick of a mirror
// instead of asking a dead one for ever.
UpdateSession::Answer UpdateSession::AskForTheRest(const std::string& extraHeaders)
{
    Answer answer;
    try {
        answer = Ask(extraHeaders);
    } catch (const TransferFailure& failure) {
        framework::DebugOutput(failure.what());
        RefuseResume("the kept bytes' URL does not answer");
    } catch (const framework::Failure& failure) {
        if (failure.kind() != framework::FailureKind::Network)
            throw;
        RefuseResume(std::string(failure.what()) + " (" + m_strAsked + ")");
    }
    if (answer.status != 200 && answer.status != 206 && answer.status != 416)
        RefuseResume("HTTP status " + std::to_string(answer.status) + " (" + m_strAsked + ")");
    return answer;
}

std::optional<UpdateSession::Body> UpdateSession::ContinueOrRestart(
    framework::HttpRequest& request, DWORD status, std::optional<std::uint64_t> declared,
    framework::OutputFile& file, Resume& resume)
{
    if (status == 200) {
        // The server ignored the range, or the file changed: this answer is
        // the whole file, and the kept bytes are worth nothing.
        StartsOver("the server sent the whole file");
        DeleteKeptRecord(m_strFile);
        file.Restart();
        resume = Resume{};
        return Measure(declared);
    }
    if (status != 206)
        RefuseResume("the answer is not the range asked for");
    std::optional<ContentRange> range = ParseContentRange(Header(request, HTTP_QUERY_CONTENT_RANGE));
    std::uint64_t span = range ? range->last - range->first + 1 : 0;
    if (!RangeContinues(range, declared.value_or(span), resume.length, resume.kept.total))
        RefuseResume("the range does not fit the kept bytes");
    // A server, or a cache, that honours Range but not If-Range may send the
    // rest of another file: only the kept bytes' own validator vouches for it.
    if (!RepeatsValidator(resume.kept, Header(request, HTTP_QUERY_ETAG),
                          Header(request, HTTP_QUERY_LAST_MODIFIED))) {
        StartsOver("the range is of another version of the file");
        return std::nullopt;
    }
    framework::DebugOutput(
        ("Package transfer resumes from byte " + std::to_string(resume.length)).c_str());
    m_keep = true;
    return Body{resume.length, resume.kept.total};
}

// A body from byte 0 is kept, should it be cut, only under a validator
// that lets the next run ask for the rest of this very file.
void UpdateSession::KeepFrom(framework::HttpRequest& request, const Body& body)
{
    if (body.received > 0)
        return;  // continued: the record is already the right one
    std::optional<Validator> validator =
        ChooseValidator(Header(request, HTTP_QUERY_ETAG), Header(request, HTTP_QUERY_LAST_MODIFIED));
    m_keep = false;
    if (validator && body.total > 0) {
        KeptTransfer kept{m_strUrl, body.total, validator->etag, validator->lastModified, m_pin};
        m_keep = WriteKeptRecord(m_strFile, kept);
    }
    if (!m_keep)
        DeleteKeptRecord(m_strFile);
}

void UpdateSession::RefuseResume(const std::string& why)
{
    m_keep = false;  // the next run starts from byte 0
    Refuse("Package transfer resume refused: " + why);
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
    m_keep = false;
    if (!MoveFileExA(KeptBytesPath(m_strFile).c_str(), m_strFile.c_str(), MOVEFILE_REPLACE_EXISTING))
        throw framework::LastErrorFailure(framework::FailureKind::LocalFile);
    DeleteKeptRecord(m_strFile);
}
