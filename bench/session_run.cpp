#include <stdexcept>

#include "framework/handles.h"
#include "notice_receiver.h"
#include "runs.h"
#include "transfer/update_session.h"

namespace {

// A session that says when its worker has deleted it, the last step of a transfer.
class TimedSession : public UpdateSession {
public:
    TimedSession(const std::string& url, const std::string& file, HWND window, HANDLE gone)
        : UpdateSession(url, file, window), gone_(gone)
    {
    }
    ~TimedSession() override { SetEvent(gone_); }

private:
    HANDLE gone_;
};

std::uint64_t FileSize(const std::string& file)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

TransferCount RunSession(const std::string& url, const std::string& file, const PackagePin& pin,
                         Sample& sample)
{
    NoticeReceiver receiver;
    framework::Handle gone(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!gone)
        throw std::runtime_error("cannot create an event");
    Stopwatch watch;
    auto* session = new TimedSession(url, file, receiver.hwnd(), gone.get());
    session->m_pin = pin;
    if (session->Start() != 0)
        throw std::runtime_error("cannot start the session");
    receiver.RunUntilComplete();
    WaitForSingleObject(gone.get(), INFINITE);
    sample = watch.Stop();

    TransferCount count;
    count.bytes = FileSize(file);
    count.notices = receiver.notices();
    count.lastPercent = receiver.lastPercent();
    count.ok = receiver.succeeded() && receiver.ordered() && count.lastPercent == 100 &&
               count.notices == (count.bytes + 1022) / 1023;
    return count;
}
