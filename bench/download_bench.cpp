// The in-process runs of scripts/bench, one transfer per start:
//   download_bench platform URL
//   download_bench floor URL
//   download_bench session URL FILE [SHA256 SIZE]
// Prints one "bench-result" line; exit code 0 when the transfer was whole.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "runs.h"

namespace {

// Wine starts its debugger on an unhandled fault, and its dialog would wait
// for ever under Xvfb: report and end instead.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* info)
{
    std::fprintf(stderr, "download_bench: unhandled exception 0x%08lX\n",
                 info->ExceptionRecord->ExceptionCode);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

int Usage()
{
    std::fprintf(stderr, "usage: download_bench platform|floor URL | session URL FILE [SHA256 SIZE]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(EndOnCrash);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    if (argc < 3)
        return Usage();
    const char* mode = argv[1];
    std::string url = argv[2];
    try {
        Sample sample;
        TransferCount count;
        if (std::strcmp(mode, "platform") == 0)
            count = RunPlatformCeiling(url, sample);
        else if (std::strcmp(mode, "floor") == 0)
            count = RunNoticeFloor(url, sample);
        else if (std::strcmp(mode, "session") == 0 && (argc == 4 || argc == 6))
            count = RunSession(url, argv[3], argc == 6 ? ReadPackagePin(argv[4], argv[5]) : PackagePin{},
                               sample);
        else
            return Usage();
        PrintResult(mode, sample, count);
        return count.ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "download_bench %s: %s\n", mode, e.what());
        return 1;
    }
}
