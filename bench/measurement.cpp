#include "measurement.h"

#include <psapi.h>

#include <cstdio>

namespace {

double Seconds(const FILETIME& time)
{
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 1e7;  // 100 ns units
}

double ProcessCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    return Seconds(kernel) + Seconds(user);
}

}  // namespace

Stopwatch::Stopwatch() : cpuStart_(ProcessCpuSeconds()) { QueryPerformanceCounter(&start_); }

Sample Stopwatch::Stop() const
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    Sample sample;
    sample.wallSeconds =
        static_cast<double>(now.QuadPart - start_.QuadPart) / static_cast<double>(frequency.QuadPart);
    sample.cpuSeconds = ProcessCpuSeconds() - cpuStart_;
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory)) {
        sample.peakWorkingSet = memory.PeakWorkingSetSize;
        sample.peakPagefile = memory.PeakPagefileUsage;
    }
    return sample;
}

void PrintResult(const char* mode, const Sample& sample, const TransferCount& count)
{
    std::printf("bench-result mode=%s ok=%d bytes=%llu notices=%llu last_percent=%u wall_s=%.6f "
                "cpu_s=%.6f peak_working_set=%lu peak_pagefile=%lu\n",
                mode, count.ok ? 1 : 0, static_cast<unsigned long long>(count.bytes),
                static_cast<unsigned long long>(count.notices), count.lastPercent,
                sample.wallSeconds, sample.cpuSeconds,
                static_cast<unsigned long>(sample.peakWorkingSet),
                static_cast<unsigned long>(sample.peakPagefile));
    std::fflush(stdout);
}
