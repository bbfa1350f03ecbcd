// Starts a worker thread that nobody waits for. The module that holds proc
// stays loaded until the thread ends, whatever its host does meanwhile.
#pragma once

namespace framework {

using ThreadProc = unsigned(__stdcall*)(void* parameter);

// False when the thread could not be created.
bool StartWorkerThread(ThreadProc proc, void* parameter);

}  // namespace framework
