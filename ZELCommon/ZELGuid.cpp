#include "ZELCommon/ZELGuid.h"

#include <cstring>

namespace {

const int kTextLength = 38;
const wchar_t kDigits[] = L"0123456789ABCDEF";

// Writes value as width upper-case hexadecimal digits.
wchar_t* PutHex(wchar_t* out, unsigned value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = kDigits[value & 0xF];
        value >>= 4;
    }
    return out + width;
}

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

// Reads exactly width hexadecimal digits at text[pos]; false on any other unit.
bool GetHex(const wchar_t* text, int pos, int width, unsigned& value)
{
    value = 0;
    for (int i = 0; i < width; ++i) {
        int digit = HexValue(text[pos + i]);
        if (digit < 0) return false;
        value = (value << 4) | unsigned(digit);
    }
    return true;
}

}  // namespace

CZELString ZEL_GUID::GetString() const
{
    wchar_t text[kTextLength + 1];
    wchar_t* p = text;
    *p++ = L'{';
    p = PutHex(p, Data1, 8);
    *p++ = L'-';
    p = PutHex(p, Data2, 4);
    *p++ = L'-';
    p = PutHex(p, Data3, 4);
    *p++ = L'-';
    p = PutHex(p, Data4[0], 2);
    p = PutHex(p, Data4[1], 2);
    *p++ = L'-';
    for (int i = 2; i < 8; ++i) p = PutHex(p, Data4[i], 2);
    *p++ = L'}';
    *p = 0;
    return CZELString(text, kTextLength);
}

void ZEL_GUID::SetString(const CZELString& text)
{
    if (text.GetLength() != kTextLength) return;
    const wchar_t* s = text.GetBuffer();
    if (s[0] != L'{' || s[9] != L'-' || s[14] != L'-' || s[19] != L'-' || s[24] != L'-' ||
        s[37] != L'}')
        return;

    // Scan into a copy and assign only a complete match, so a text that fails part-way changes
    // nothing.
    ZEL_GUID scanned;
    unsigned value;
    if (!GetHex(s, 1, 8, value)) return;
    scanned.Data1 = value;
    if (!GetHex(s, 10, 4, value)) return;
    scanned.Data2 = (unsigned short)value;
    if (!GetHex(s, 15, 4, value)) return;
    scanned.Data3 = (unsigned short)value;
    static const int kBytePositions[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!GetHex(s, kBytePositions[i], 2, value)) return;
        scanned.Data4[i] = (unsigned char)value;
    }
    *this = scanned;
}

bool ZEL_GUID::operator==(const ZEL_GUID& other) const
{
    return std::memcmp(this, &other, sizeof(ZEL_GUID)) == 0;
}

bool ZEL_GUID::operator<(const ZEL_GUID& other) const
{
    // memcmp compares as unsigned char, in memory order.
    return std::memcmp(this, &other, sizeof(ZEL_GUID)) < 0;
}
