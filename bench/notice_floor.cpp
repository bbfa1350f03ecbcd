#include <exception>
#include <stdexcept>

#include "bare_request.h"
#include "framework/handles.h"
#include "framework/worker_thread.h"
#include "notice_receiver.h"
#include "runs.h"

namespace {

struct FloorWork {
    std::string url;
    HWND window = nullptr;
    framework::Handle finished;
    std::uint64_t bytes = 0;
    std::uint64_t length = 0;
};

void Notify(HWND window, const DownloadNotice& notice)
{
    SendMessageA(window, WM_DOWNLOAD_NOTICE, 0, reinterpret_cast<LPARAM>(&notice));
}

void ReadInChunks(FloorWork& work)
{
    BareRequest request(work.url);
    work.length = request.length();
    DownloadNotice progress = {1, FALSE, FALSE, 0};
    char chunk[1024];
    while (DWORD n = request.Read(chunk, 1023)) {
        work.bytes += n;
        progress.percent = static_cast<UINT>(work.bytes * 100 / work.length);
        Notify(work.window, progress);
    }
}

unsigned __stdcall FloorWorker(void* parameter)
{
    auto& work = *static_cast<FloorWork*>(parameter);
    bool ok = true;
    try {
        ReadInChunks(work);
    } catch (const std::exception&) {
        ok = false;  // nothing leaves the worker; the window hears of a failure
    }
    DownloadNotice done = {1, !ok, ok, 0};
    Notify(work.window, done);
    SetEvent(work.finished.get());
    return 0;
}

}  // namespace

TransferCount RunNoticeFloor(const std::string& url, Sample& sample)
{
    NoticeReceiver receiver;
    FloorWork work;
    work.url = url;
    work.window = receiver.hwnd();
    work.finished.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    Stopwatch watch;
    if (!work.finished || !framework::StartWorkerThread(&FloorWorker, &work))
        throw std::runtime_error("cannot start the worker");
    receiver.RunUntilComplete();
    WaitForSingleObject(work.finished.get(), INFINITE);
    sample = watch.Stop();

    TransferCount count;
    count.bytes = work.bytes;
    count.notices = receiver.notices();
    count.lastPercent = receiver.lastPercent();
    count.ok = receiver.succeeded() && receiver.ordered() && work.bytes == work.length &&
               count.notices == (work.bytes + 1022) / 1023;
    return count;
}
