// CZELString: the one string type of the system. A handle to a shared, reference-counted UTF-16
// record; copies share the record and every change installs a new one (copy on write), so a
// record's text never changes once built. Comparisons ignore letter case and never change either
// operand. Narrow text enters and leaves only through an explicit code page.
//
// Limits: the record keeps its length and reference count in the two halves of one 32-bit word, so
// a text holds at most MaxLength units (longer input is clipped there, one unit shorter where the
// cut would split a surrogate pair) and a record is shared by at most MaxShares holders (a further
// copy gets a record of its own).
#pragma once

#include "ZELCommon/ZELCommonApi.h"

struct StringRecord {
    volatile long control;  // low 16 bits: holders; high 16 bits: length in UTF-16 units
    wchar_t* buffer;        // length units and a zero unit, from malloc
};

class ZELCOMMON_API CZELString {
public:
    enum { MaxLength = 0xFFFF, MaxShares = 0xFFFF };

    CZELString() : record(nullptr) {}
    CZELString(const CZELString& other);
    CZELString(const wchar_t* text, int length = -1);
    CZELString(const char* text, int length, unsigned codePage);
    CZELString(unsigned value, bool hex, unsigned char width);
    ~CZELString();

    CZELString& operator=(const CZELString& other);
    CZELString& operator=(const wchar_t* text);

    // Zero-terminated text, or null for the empty string.
    const wchar_t* GetBuffer() const { return record ? record->buffer : nullptr; }
    int GetLength() const { return record ? int((unsigned long)record->control >> 16) : 0; }
    bool IsEmpty() const { return GetLength() == 0; }

    CZELString Substring(int index, int count) const;
    int Find(int start, const CZELString& what) const;
    void Remove(const CZELString& what);
    void ToLower();
    unsigned Uint(bool hex) const;

    CZELString operator+(const CZELString& right) const;
    CZELString operator+(const wchar_t* right) const;
    friend ZELCOMMON_API CZELString operator+(const wchar_t* left, const CZELString& right);
    CZELString& operator+=(const CZELString& right);
    CZELString& operator+=(const wchar_t* right);

    bool operator==(const CZELString& other) const;
    bool operator!=(const CZELString& other) const { return !(*this == other); }
    bool operator==(const wchar_t* text) const;
    bool operator!=(const wchar_t* text) const { return !(*this == text); }
    int Compare(const CZELString& other) const;
    bool operator<(const CZELString& other) const { return Compare(other) < 0; }
    bool operator<=(const CZELString& other) const { return Compare(other) <= 0; }
    bool operator>(const CZELString& other) const { return Compare(other) > 0; }
    bool operator>=(const CZELString& other) const { return Compare(other) >= 0; }

    // Narrow conversions: new zero-terminated malloc buffers owned by the caller (free), or null.
    static char* Convert(const CZELString& text, unsigned codePage);
    static char* Convert(const wchar_t* text, int length, unsigned codePage);

    // Concatenates counted pieces: first, then its length, then (piece, length) pairs, ending with a
    // null piece. Lengths are unit (or byte) counts; they are never measured.
    static CZELString Construct(const wchar_t* first, ...);
    static char* Construct(const char* first, ...);

    // First occurrence of needle in text (both zero-terminated), or null; the lengths are not used.
    static const wchar_t* Find(const wchar_t* text, int textLength, const wchar_t* needle, int needleLength);
    static const char* Find(const char* text, int textLength, const char* needle, int needleLength);

    // Decimal (signed, returned as unsigned; beyond the int range, the nearest end of it) or up to
    // eight hexadecimal digits; 0 for null text.
    static unsigned Toi(const wchar_t* text, int length, bool hex);
    static unsigned Toi(const char* text, int length, bool hex);
    // Decimal or lower-case hexadecimal, left-padded with '0' to width; the caller gives room.
    static void Tow(wchar_t* out, int& length, unsigned value, bool hex, int width);
    static void Toa(char* out, int& length, unsigned value, bool hex, int width);

    static int IsDigit(wchar_t c);
    static int IsDigit(char c);

    // length: in, the input size (-1 measures up to the zero); out, the output size. The result is
    // a new zero-terminated malloc buffer owned by the caller, or null (length 0) for empty input.
    static char* Base64Encode(const char* data, int& length);
    static char* Base64Encode(const wchar_t* data, int& length);
    static char* Base64Decode(const char* text, int& length);
    static char* Base64Decode(const wchar_t* text, int& length);

private:
    explicit CZELString(StringRecord* adopted) : record(adopted) {}
    static StringRecord* NewRecord(const wchar_t* text, int length);
    static StringRecord* Share(StringRecord* source);
    static void Release(StringRecord* record);
    void Adopt(StringRecord* replacement);

    StringRecord* record;
};
