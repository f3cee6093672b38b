// The benchmarks of the service core, each printing its figures to the standard output.
#pragma once

#include <windows.h>

// Seconds on the performance counter, for timing one stretch of work.
inline double BenchSeconds()
{
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

void RunHistoryBenchmark();
void RunContactListBenchmark();
