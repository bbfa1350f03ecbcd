#include "worker_thread.h"

#include <process.h>

#include <new>

#include "handles.h"

namespace framework {

namespace {

struct WorkerStart {
    ThreadProc proc;
    void* parameter;
    HMODULE module;  // the module of proc, kept loaded while the worker runs
};

unsigned __stdcall WorkerEntry(void* start)
{
    WorkerStart run = *static_cast<WorkerStart*>(start);
    delete static_cast<WorkerStart*>(start);
    unsigned result = run.proc(run.parameter);
    // A host may free the module as soon as its call returns; the worker
    // lets go of it only from a function of the system's.
    FreeLibraryAndExitThread(run.module, result);
}

}  // namespace

bool StartWorkerThread(ThreadProc proc, void* parameter)
{
    Library module;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(proc), module.put()))
        return false;
    auto* start = new (std::nothrow) WorkerStart{proc, parameter, module.get()};
    uintptr_t thread = start ? _beginthreadex(nullptr, 0, WorkerEntry, start, 0, nullptr) : 0;
    if (thread == 0) {
        delete start;
        return false;
    }
    module.release();  // the worker's now
    Handle started(reinterpret_cast<HANDLE>(thread));  // nobody waits for the worker
    return true;
}

}  // namespace framework
