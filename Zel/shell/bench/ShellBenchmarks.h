// The application's benchmarks, each printing its figures to the standard output.
#pragma once

#include <windows.h>

#include <string>

// Seconds on the performance counter.
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

// The benchmark program's own folder, ending with "\".
std::wstring BenchFolder();

void RunStartupBenchmark();
void RunSkinDecodeBenchmark();
void RunMessageBenchmark();
