#include "ZELCommon/Packer.h"

#include <cstdlib>
#include <cstring>
#include <new>

void CPacker::Pack8(unsigned char* buffer, unsigned char value)
{
    buffer[0] = value;
}

void CPacker::Pack16(unsigned char* buffer, unsigned short value)
{
    buffer[0] = (unsigned char)(value >> 8);
    buffer[1] = (unsigned char)value;
}

void CPacker::Pack16LE(unsigned char* buffer, unsigned short value)
{
    buffer[0] = (unsigned char)value;
    buffer[1] = (unsigned char)(value >> 8);
}

void CPacker::Pack32(unsigned char* buffer, unsigned int value)
{
    buffer[0] = (unsigned char)(value >> 24);
    buffer[1] = (unsigned char)(value >> 16);
    buffer[2] = (unsigned char)(value >> 8);
    buffer[3] = (unsigned char)value;
}

void CPacker::Pack32LE(unsigned char* buffer, unsigned int value)
{
    buffer[0] = (unsigned char)value;
    buffer[1] = (unsigned char)(value >> 8);
    buffer[2] = (unsigned char)(value >> 16);
    buffer[3] = (unsigned char)(value >> 24);
}

void CPacker::PackBuffer(unsigned char* buffer, const unsigned char* source, int n)
{
    if (n <= 0) return;
    std::memmove(buffer, source, size_t(n));
}

unsigned char CPacker::Unpack8(const unsigned char* buffer)
{
    return buffer[0];
}

unsigned short CPacker::Unpack16(const unsigned char* buffer)
{
    return (unsigned short)((buffer[0] << 8) | buffer[1]);
}

unsigned short CPacker::Unpack16LE(const unsigned char* buffer)
{
    return (unsigned short)(buffer[0] | (buffer[1] << 8));
}

unsigned int CPacker::Unpack32(const unsigned char* buffer)
{
    return (unsigned(buffer[0]) << 24) | (unsigned(buffer[1]) << 16) | (unsigned(buffer[2]) << 8) |
           unsigned(buffer[3]);
}

unsigned int CPacker::Unpack32LE(const unsigned char* buffer)
{
    return unsigned(buffer[0]) | (unsigned(buffer[1]) << 8) | (unsigned(buffer[2]) << 16) |
           (unsigned(buffer[3]) << 24);
}

unsigned char* CPacker::UnpackBuffer(const unsigned char* buffer, int n)
{
    if (n <= 0) return nullptr;
    unsigned char* copy = static_cast<unsigned char*>(std::malloc(size_t(n)));
    if (copy) std::memcpy(copy, buffer, size_t(n));
    return copy;
}

CZELString CPacker::ToString(const unsigned char* bytes, int n)
{
    if (n < 1 || !bytes) return CZELString();
    // Three units per byte; a string holds at most MaxLength units, so longer dumps are cut at a
    // whole byte.
    int shown = n > CZELString::MaxLength / 3 ? CZELString::MaxLength / 3 : n;
    wchar_t* text = new (std::nothrow) wchar_t[size_t(shown) * 3 + 1];
    if (!text) return CZELString();
    static const wchar_t kDigits[] = L"0123456789abcdef";
    wchar_t* p = text;
    for (int i = 0; i < shown; ++i) {
        *p++ = (i % 16 == 0) ? L'\n' : L' ';
        *p++ = kDigits[bytes[i] >> 4];
        *p++ = kDigits[bytes[i] & 0xF];
    }
    *p = 0;
    CZELString result(text, shown * 3);
    delete[] text;
    return result;
}
