// CZELRand: the system's one source of pseudo-random numbers (request ids, cookies, sequence
// seeds). One generator serves the whole process: the C runtime's rand keeps its state per thread,
// so every thread that never seeded it would draw the same numbers.
#pragma once

#include "ZELCommon/ZELCommonApi.h"

class ZELCOMMON_API CZELRand {
public:
    // 0 to 32767. Seeded once per process, on first use, from the clock and the process.
    static unsigned Rand();
};
