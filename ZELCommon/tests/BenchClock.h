// The clock of the benchmark programs: seconds on the performance counter, for timing one stretch of
// work. Header only.
#pragma once

#include <windows.h>

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
