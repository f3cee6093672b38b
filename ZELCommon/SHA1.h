// CSHA1: one-shot SHA-1 (FIPS 180-1) of a byte buffer.
#pragma once

#include "ZELCommon/ZELCommonApi.h"

class ZELCOMMON_API CSHA1 {
public:
    static const int DigestSize = 20;

    // Writes the 20-byte digest of length bytes at data to out. A null data hashes as empty input.
    static void Hash(const void* data, unsigned int length, unsigned char* out);
};
