// The benchmarks of the service core, each printing its figures to the standard output.
#pragma once

#include "ZELCommon/tests/BenchClock.h"

void RunHistoryBenchmark();
void RunContactListBenchmark();
