// The application's benchmarks, each printing its figures to the standard output; they time with
// the core benchmarks' clock (BenchSeconds).
#pragma once

#include "Zel/core/bench/Benchmarks.h"

void RunStartupBenchmark();
void RunSkinDecodeBenchmark();
void RunMessageBenchmark();
void RunUpdateDownloadBenchmark();
void RunContactListWindowBenchmark();
void RunChatLogBenchmark();
