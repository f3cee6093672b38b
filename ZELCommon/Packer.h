// CPacker: byte-order stores and loads for protocol fields. Pack16/Pack32 and their Unpack
// partners are big-endian (network order), the LE variants little-endian. Buffers may have any
// alignment. Nothing here checks bounds: callers size their buffers and check every length they
// read from the network before calling.
#pragma once

#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELString.h"

class ZELCOMMON_API CPacker {
public:
    static void Pack8(unsigned char* buffer, unsigned char value);
    static void Pack16(unsigned char* buffer, unsigned short value);
    static void Pack16LE(unsigned char* buffer, unsigned short value);
    static void Pack32(unsigned char* buffer, unsigned int value);
    static void Pack32LE(unsigned char* buffer, unsigned int value);
    // Copies n bytes; nothing for n <= 0 (source may then be null).
    static void PackBuffer(unsigned char* buffer, const unsigned char* source, int n);

    static unsigned char Unpack8(const unsigned char* buffer);
    static unsigned short Unpack16(const unsigned char* buffer);
    static unsigned short Unpack16LE(const unsigned char* buffer);
    static unsigned int Unpack32(const unsigned char* buffer);
    static unsigned int Unpack32LE(const unsigned char* buffer);
    // A new malloc copy of n bytes that the caller frees with free; null for n <= 0 or when out of
    // memory.
    static unsigned char* UnpackBuffer(const unsigned char* buffer, int n);

    // Lower-case hexadecimal dump: a line feed before bytes 0, 16, 32 ..., one blank before every
    // other byte, two digits per byte. Empty for n < 1.
    static CZELString ToString(const unsigned char* bytes, int n);
};
