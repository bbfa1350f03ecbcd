#include <cstdio>

#include <gtest/gtest.h>

#include "framework/win.h"
#include "support/registry.h"

namespace {

// Wine starts its debugger on an unhandled fault whatever the error mode says,
// and the debugger's crash dialog waits for ever under Xvfb: report and end.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* info)
{
    std::fprintf(stderr, "unhandled exception 0x%08lX at %p\n",
                 info->ExceptionRecord->ExceptionCode, info->ExceptionRecord->ExceptionAddress);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // A crash must end the test program, not wait for a dialog of Wine's.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(EndOnCrash);
    RestoreValuesLeftChanged();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
