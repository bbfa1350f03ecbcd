#include "mirror_pick.h"

#include "framework/crypto.h"

size_t PickMirror(size_t count)
{
    if (count < 2)
        return 0;
    // The bias of a 64-bit value modulo a handful of mirrors is below 2^-60.
    return static_cast<size_t>(framework::RandomU64() % count);
}
