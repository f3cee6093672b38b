// The clock of the benchmark programs: seconds on the performance counter, for timing one stretch of
// work, and the best of several runs of it. Header only.
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

// The shortest of runs timings of work, in seconds.
template <typename Work> double BestOf(int runs, Work work)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        double start = BenchSeconds();
        work();
        double took = BenchSeconds() - start;
        if (took < best) best = took;
    }
    return best;
}
