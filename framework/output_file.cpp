#include "output_file.h"

#include <cstring>

#include "internet_error.h"

namespace framework {

namespace {
constexpr size_t kBufferSize = 64 * 1024;
}

OutputFile::~OutputFile()
{
    try {
        Close();
    } catch (const Failure&) {
        // The caller that cares has called Close itself.
    }
}

bool OutputFile::Open(const std::string& path)
{
    handle_.reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle_)
        return false;
    buffer_.resize(kBufferSize);
    used_ = 0;
    return true;
}

bool OutputFile::OpenToAppend(const std::string& path)
{
    handle_.reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle_)
        return false;
    LARGE_INTEGER zero = {};
    if (!SetFilePointerEx(handle_.get(), zero, nullptr, FILE_END)) {
        handle_.reset();
        return false;
    }
    buffer_.resize(kBufferSize);
    used_ = 0;
    return true;
}

void OutputFile::Restart()
{
    used_ = 0;
    LARGE_INTEGER zero = {};
    if (!SetFilePointerEx(handle_.get(), zero, nullptr, FILE_BEGIN) || !SetEndOfFile(handle_.get()))
        throw LastErrorFailure(FailureKind::LocalFile);
}

void OutputFile::Write(const void* data, size_t size)
{
    if (used_ + size > buffer_.size())
        Flush();
    if (size >= buffer_.size()) {
        DWORD written = 0;
        if (!WriteFile(handle_.get(), data, static_cast<DWORD>(size), &written, nullptr) ||
            written != size)
            throw LastErrorFailure(FailureKind::LocalFile);
        return;
    }
    std::memcpy(buffer_.data() + used_, data, size);
    used_ += size;
}

void OutputFile::Flush()
{
    if (used_ == 0)
        return;
    DWORD written = 0;
    size_t pending = used_;
    used_ = 0;
    if (!WriteFile(handle_.get(), buffer_.data(), static_cast<DWORD>(pending), &written, nullptr) ||
        written != pending)
        throw LastErrorFailure(FailureKind::LocalFile);
}

void OutputFile::Abandon()
{
    used_ = 0;
    handle_.reset();
}

void OutputFile::Close()
{
    if (!handle_)
        return;
    try {
        Flush();
    } catch (...) {
        handle_.reset();
        throw;
    }
    handle_.reset();
}

}  // namespace framework
