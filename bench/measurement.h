// Wall time, CPU time and peak memory of this process over one measured
// span, and the one line in which a run reports them to scripts/bench.
#pragma once

#include <cstdint>

#include "framework/win.h"

struct Sample {
    double wallSeconds = 0;
    double cpuSeconds = 0;        // every thread of the process, user and kernel
    SIZE_T peakWorkingSet = 0;    // over the process's life so far
    SIZE_T peakPagefile = 0;
};

// What a run saw of the transfer, to be checked beside the times.
struct TransferCount {
    std::uint64_t bytes = 0;
    std::uint64_t notices = 0;    // progress notices
    UINT lastPercent = 0;
    bool ok = false;              // the data and the notices are what the protocol promises
};

class Stopwatch {
public:
    Stopwatch();
    Sample Stop() const;

private:
    LARGE_INTEGER start_;
    double cpuStart_;
};

// "bench-result mode=... key=value ...", one line on standard output.
void PrintResult(const char* mode, const Sample& sample, const TransferCount& count);
