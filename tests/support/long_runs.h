// How many times over the randomised tests run: 1 in the normal suite, more
// when VELNOR_LONG_RUNS names a factor (VELNOR_LONG_RUNS=100 scripts/test).
#pragma once

#include <cstdlib>

inline int LongRunFactor()
{
    const char* factor = std::getenv("VELNOR_LONG_RUNS");
    int value = factor ? std::atoi(factor) : 1;
    return value > 0 ? value : 1;
}
