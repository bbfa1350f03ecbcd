#include "worker_thread.h"

#include <process.h>

#include "win.h"

namespace framework {

bool StartWorkerThread(ThreadProc proc, void* parameter)
{
    uintptr_t thread = _beginthreadex(nullptr, 0, proc, parameter, 0, nullptr);
    if (thread == 0)
        return false;
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

}  // namespace framework
