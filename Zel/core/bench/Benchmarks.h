// The benchmarks of the service core, each printing its figures to the standard output.
#pragma once

void RunHistoryBenchmark();
void RunContactListBenchmark();
