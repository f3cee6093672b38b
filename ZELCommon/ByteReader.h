// ByteReader: the bounded reader over bytes that came from a file or the network. Every field read
// is checked against what remains; the first read that does not fit sets a sticky error, after which
// every read returns zero or nothing and the position stays where the failure was, so a parser reads
// a whole structure and checks Failed() once. Numbers are big-endian unless the name ends in LE.
// Header only: the modules that parse (the core, the plug-ins) each compile it in.
#pragma once

#include <cstddef>

class ByteReader {
public:
    ByteReader(const unsigned char* data, size_t length) : data(data), length(data ? length : 0) {}

    unsigned char U8()
    {
        const unsigned char* p = Take(1);
        return p ? p[0] : 0;
    }

    unsigned short U16()
    {
        const unsigned char* p = Take(2);
        return p ? (unsigned short)((p[0] << 8) | p[1]) : 0;
    }

    unsigned U32()
    {
        const unsigned char* p = Take(4);
        return p ? (unsigned(p[0]) << 24) | (unsigned(p[1]) << 16) | (unsigned(p[2]) << 8) | p[3] : 0;
    }

    unsigned short U16LE()
    {
        const unsigned char* p = Take(2);
        return p ? (unsigned short)(p[0] | (p[1] << 8)) : 0;
    }

    unsigned U32LE()
    {
        const unsigned char* p = Take(4);
        return p ? p[0] | (unsigned(p[1]) << 8) | (unsigned(p[2]) << 16) | (unsigned(p[3]) << 24) : 0;
    }

    // The next n bytes in place, or null (and the error set) when fewer remain. For n = 0 the
    // pointer may be null without an error: ask Failed().
    const unsigned char* Bytes(size_t n) { return Take(n); }

    bool Skip(size_t n)
    {
        Take(n);
        return !failed;
    }

    size_t Offset() const { return offset; }
    size_t Remaining() const { return failed ? 0 : length - offset; }
    bool Failed() const { return failed; }

private:
    const unsigned char* Take(size_t n)
    {
        if (failed || n > length - offset) {
            failed = true;
            return nullptr;
        }
        const unsigned char* p = data + offset;
        offset += n;
        return p;
    }

    const unsigned char* data;
    size_t length;
    size_t offset = 0;
    bool failed = false;
};
