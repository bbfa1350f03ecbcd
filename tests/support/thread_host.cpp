// A host that drives a shown run of RD_XXXX from a second thread of its own,
// as a host with several threads or one that frees the module at once would:
//   thread_host MODULE race SWITCHES OTHER-SWITCHES
//     while the shown run waits on its welcome page, calls RD_XXXX again
//     with OTHER-SWITCHES (a call its mutex refuses), then clicks Next
//   thread_host MODULE unload SWITCHES MARKER
//     clicks Next, then Cancel while the package downloads, frees the module
//     as soon as RD_XXXX returned, writes MARKER and lives on for a while
// Exits 0 when the host got through, 3 on a crash.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "framework/win.h"
#include "support/entry_point.h"

namespace {

LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* info)
{
    std::fprintf(stderr, "thread_host: crashed with 0x%08lX\n", info->ExceptionRecord->ExceptionCode);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

void Call(EntryProc entry, std::string switches)
{
    entry(nullptr, GetModuleHandleA(nullptr), switches.data(), SW_SHOWNORMAL);
}

std::atomic<DWORD> runThread{0};

void CallOnThisThread(EntryProc entry, std::string switches)
{
    runThread = GetCurrentThreadId();
    Call(entry, std::move(switches));
}

BOOL CALLBACK TakeVisible(HWND window, LPARAM found)
{
    if (!IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The shown frame of the run on that thread, once it is visible.
HWND WaitForFrame(DWORD threadId)
{
    for (int i = 0; i < 300; ++i) {
        HWND found = nullptr;
        EnumThreadWindows(threadId, TakeVisible, reinterpret_cast<LPARAM>(&found));
        if (found)
            return found;
        Sleep(50);
    }
    return nullptr;
}

void Press(HWND frame, int id) { PostMessageA(frame, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

}  // namespace

int main(int argc, char** argv)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(EndOnCrash);
    if (argc != 5)
        return 2;
    HMODULE module = nullptr;
    EntryProc entry = LoadEntryPoint(argv[1], module);
    if (!entry)
        return 2;
    const bool race = std::strcmp(argv[2], "race") == 0;

    std::thread run(CallOnThisThread, entry, std::string(argv[3]));
    while (!runThread)
        Sleep(10);
    HWND frame = WaitForFrame(runThread);
    if (!frame) {
        std::fprintf(stderr, "thread_host: no frame came\n");
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 4);
    }
    if (race)
        Call(entry, argv[4]);
    Press(frame, 3002);  // Next
    Sleep(race ? 2000 : 3000);
    Press(frame, IDCANCEL);
    run.join();
    if (race)
        return 0;

    FreeLibrary(module);
    if (FILE* marker = std::fopen(argv[4], "w"))
        std::fclose(marker);
    Sleep(4000);  // the worker goes on meanwhile
    return 0;
}
