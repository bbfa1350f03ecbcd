#include "mirror_pick.h"

#include "framework/win.h"

#include <bcrypt.h>

size_t PickMirror(size_t count)
{
    if (count < 2)
        return 0;
    // The system's generator: the C runtime's rand() is never seeded here,
    // and would give every process the same first pick.
    unsigned long long value = 0;
    if (BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&value), sizeof value,
                        BCRYPT_USE_SYSTEM_PREFERRED_RNG) < 0) {
        LARGE_INTEGER counter;
        QueryPerformanceCounter(&counter);
        value = static_cast<unsigned long long>(counter.QuadPart) ^
                (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^ GetTickCount();
    }
    // The bias of a 64-bit value modulo a handful of mirrors is below 2^-60.
    return static_cast<size_t>(value % count);
}
