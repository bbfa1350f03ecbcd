// Holds a file open for nobody else to share, as another program might:
//   hold_file PATH SECONDS
// Says "held" on standard output once the file is held.
#include <cstdio>
#include <cstdlib>

#include "framework/win.h"

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    std::puts("held");
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(std::atoi(argv[2])) * 1000);
    CloseHandle(file);
    return 0;
}
