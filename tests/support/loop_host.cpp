// A host that stays: loads productupdate.dll from the given path and calls
// RD_XXXX the given number of times with the given command line, writing
// to standard error after each run the next free handle slot and the private
// memory the process holds:
//   loop_host MODULE COUNT ARGUMENTS
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/win.h"
#include "support/entry_point.h"

// The handle a new object gets: the lowest free slot of the handle table,
// which climbs when handles are left open. (Wine counts no handles.)
unsigned long NextHandleSlot()
{
    HANDLE probe = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(probe);
    return static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(probe) / 4);
}

// Private memory committed in the address space, walked region by region.
unsigned long CommittedPrivateBytes()
{
    unsigned long total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += static_cast<unsigned long>(region.RegionSize);
        if (static_cast<const char*>(region.BaseAddress) + region.RegionSize < at)
            break;
    }
    return total;
}

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    HMODULE module = nullptr;
    EntryProc entry = LoadEntryPoint(argv[1], module);
    if (!entry)
        return 2;
    int count = std::atoi(argv[2]);
    for (int run = 1; run <= count; ++run) {
        std::string arguments = argv[3];
        entry(nullptr, GetModuleHandleA(nullptr), arguments.data(), SW_SHOWNORMAL);
        Sleep(100);  // the last worker of the run ends on its own
        std::fprintf(stderr, "%d %lu %lu\n", run, NextHandleSlot(), CommittedPrivateBytes());
    }
    return 0;
}
