// CMD5: one-shot MD5 (RFC 1321) of a byte buffer. Used where a protocol asks for it (logins,
// keys); not for anything that needs collision resistance.
#pragma once

#include "ZELCommon/ZELCommonApi.h"

class ZELCOMMON_API CMD5 {
public:
    static const int DigestSize = 16;

    // Writes the 16-byte digest of length bytes at data to out. A null data hashes as empty input.
    static void Hash(const void* data, unsigned int length, unsigned char* out);
};
