#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>

namespace {

const unsigned kCountMask = 0xFFFF;

// Case folding for comparisons and ToLower: one table over every UTF-16 unit, built once with the
// platform's invariant lower-case mapping, so Cyrillic folds as well as Latin.
struct FoldTable {
    wchar_t lower[0x10000];
    FoldTable()
    {
        for (unsigned i = 0; i < 0x10000; ++i) lower[i] = wchar_t(i);
        // Surrogate halves are not characters on their own; leave them as they are.
        LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, lower, 0xD800, lower, 0xD800);
        LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, lower + 0xE000, 0x2000, lower + 0xE000, 0x2000);
    }
};

const wchar_t* Fold()
{
    static const FoldTable table;
    return table.lower;
}

// Compares two counted texts without regard to case: <0, 0 or >0, shorter text first on a tie.
int CompareFolded(const wchar_t* left, int leftLength, const wchar_t* right, int rightLength)
{
    const wchar_t* lower = Fold();
    int common = leftLength < rightLength ? leftLength : rightLength;
    for (int i = 0; i < common; ++i) {
        wchar_t a = lower[(unsigned short)left[i]], b = lower[(unsigned short)right[i]];
        if (a != b) return a < b ? -1 : 1;
    }
    if (leftLength == rightLength) return 0;
    return leftLength < rightLength ? -1 : 1;
}

int ClipLength(long long length)
{
    if (length <= 0) return 0;
    return length > CZELString::MaxLength ? CZELString::MaxLength : int(length);
}

// The units of text (length long) that a record keeps: all of them within the limit; beyond it,
// the limit, less the high half of a pair that the cut would part from its low half.
int KeptLength(const wchar_t* text, long long length)
{
    int kept = ClipLength(length);
    if (length > kept && kept > 0 && text[kept - 1] >= 0xD800 && text[kept - 1] <= 0xDBFF) --kept;
    return kept;
}

template <typename Char> int MeasureOrKeep(const Char* text, int length)
{
    if (!text) return 0;
    if (length >= 0) return length;
    int n = 0;
    while (text[n]) ++n;
    return n;
}

template <typename Char> unsigned ParseNumber(const Char* text, int length, bool hex)
{
    if (!text) return 0;
    // A given length bounds the parse, so a counted buffer is never read past its end.
    const Char* end = length >= 0 ? text + length : nullptr;
    auto more = [&](const Char* p) { return (!end || p < end) && *p; };
    const Char* p = text;
    while (more(p) && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
    if (hex) {
        if (more(p) && *p == '0' && more(p + 1) && (p[1] == 'x' || p[1] == 'X')) p += 2;
        unsigned value = 0;
        for (int digits = 0; digits < 8 && more(p); ++digits, ++p) {
            unsigned c = unsigned(*p), d;
            if (c >= '0' && c <= '9') d = c - '0';
            else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
            else break;
            value = value << 4 | d;
        }
        return value;
    }
    bool negative = false;
    if (more(p) && (*p == '-' || *p == '+')) negative = *p++ == '-';
    // Beyond the int range the result stays at its nearest end, as the runtime library's parse
    // does: a huge number never wraps round to a small or a positive one.
    const unsigned long long limit = negative ? 0x80000000ull : 0x7FFFFFFFull;
    unsigned long long value = 0;
    for (; more(p) && *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + unsigned(*p - '0');
        if (value > limit) value = limit;
    }
    return negative ? 0u - unsigned(value) : unsigned(value);
}

template <typename Char> void FormatNumber(Char* out, int& length, unsigned value, bool hex, int width)
{
    static const char digits[] = "0123456789abcdef";
    unsigned radix = hex ? 16 : 10;
    Char reversed[32];
    int n = 0;
    do {
        reversed[n++] = Char(digits[value % radix]);
        value /= radix;
    } while (value);
    int pad = width > n ? width - n : 0;
    for (int i = 0; i < pad; ++i) out[i] = Char('0');
    for (int i = 0; i < n; ++i) out[pad + i] = reversed[n - 1 - i];
    length = pad + n;
    out[length] = 0;
}

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

template <typename Unit> char* EncodeBase64(const Unit* data, int& length)
{
    int n = MeasureOrKeep(data, length);
    if (n == 0) {
        length = 0;
        return nullptr;
    }
    int outLength = 4 * (n / 3) + (n % 3 ? 4 : 0);
    char* out = static_cast<char*>(malloc(size_t(outLength) + 1));
    if (!out) {
        length = 0;
        return nullptr;
    }
    char* w = out;
    for (int i = 0; i < n; i += 3) {
        unsigned b0 = (unsigned)data[i] & 0xFF;
        unsigned b1 = i + 1 < n ? (unsigned)data[i + 1] & 0xFF : 0;
        unsigned b2 = i + 2 < n ? (unsigned)data[i + 2] & 0xFF : 0;
        unsigned group = b0 << 16 | b1 << 8 | b2;
        *w++ = kBase64Alphabet[group >> 18 & 63];
        *w++ = kBase64Alphabet[group >> 12 & 63];
        *w++ = i + 1 < n ? kBase64Alphabet[group >> 6 & 63] : '=';
        *w++ = i + 2 < n ? kBase64Alphabet[group & 63] : '=';
    }
    *w = 0;
    length = outLength;
    return out;
}

unsigned Base64Value(unsigned c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return 0;  // bad characters and the pad decode as zero bits
}

template <typename Unit> char* DecodeBase64(const Unit* text, int& length)
{
    int n = MeasureOrKeep(text, length);
    if (n == 0) {
        length = 0;
        return nullptr;
    }
    char* out = static_cast<char*>(malloc(size_t(n / 4) * 3 + 1));
    if (!out) {
        length = 0;
        return nullptr;
    }
    int written = 0;
    unsigned group[4];
    int have = 0;
    for (int i = 0; i < n; ++i) {
        unsigned c = (unsigned)text[i];
        if (sizeof(Unit) == 1) c &= 0xFF;
        if (c == '\r' || c == '\n') continue;  // line breaks inside the text
        group[have++] = c;
        if (have < 4) continue;
        have = 0;
        unsigned bits = Base64Value(group[0]) << 18 | Base64Value(group[1]) << 12 |
                        Base64Value(group[2]) << 6 | Base64Value(group[3]);
        // A padded group carries fewer bytes: "x=" one less, "==" two less.
        int bytes = group[3] != '=' ? 3 : group[2] != '=' ? 2 : 1;
        out[written++] = char(bits >> 16);
        if (bytes > 1) out[written++] = char(bits >> 8);
        if (bytes > 2) out[written++] = char(bits);
    }
    out[written] = 0;
    char* shrunk = static_cast<char*>(realloc(out, size_t(written) + 1));
    length = written;
    return shrunk ? shrunk : out;
}

}  // namespace

// ---- records -------------------------------------------------------------------------------

StringRecord* CZELString::NewRecord(const wchar_t* text, int length)
{
    if (!text) return nullptr;
    length = KeptLength(text, length);
    if (length == 0) return nullptr;
    wchar_t* buffer = static_cast<wchar_t*>(malloc((size_t(length) + 1) * sizeof(wchar_t)));
    if (!buffer) return nullptr;
    StringRecord* record = new (std::nothrow) StringRecord;
    if (!record) {
        free(buffer);
        return nullptr;
    }
    memcpy(buffer, text, size_t(length) * sizeof(wchar_t));
    buffer[length] = 0;
    record->control = long((unsigned long)length << 16 | 1);
    record->buffer = buffer;
    return record;
}

StringRecord* CZELString::Share(StringRecord* source)
{
    if (!source) return nullptr;
    for (;;) {
        long old = source->control;
        if (((unsigned long)old & kCountMask) == kCountMask)
            return NewRecord(source->buffer, int((unsigned long)old >> 16));  // count is full
        if (InterlockedCompareExchange(&source->control, old + 1, old) == old) return source;
    }
}

void CZELString::Release(StringRecord* record)
{
    if (!record) return;
    if (((unsigned long)InterlockedDecrement(&record->control) & kCountMask) == 0) {
        free(record->buffer);
        delete record;
    }
}

void CZELString::Adopt(StringRecord* replacement)
{
    StringRecord* old = record;
    record = replacement;
    Release(old);
}

// ---- construction and assignment -----------------------------------------------------------

CZELString::CZELString(const CZELString& other) : record(Share(other.record)) {}

CZELString::CZELString(const wchar_t* text, int length) : record(NewRecord(text, MeasureOrKeep(text, length))) {}

CZELString::CZELString(const char* text, int length, unsigned codePage) : record(nullptr)
{
    if (!text || length == 0) return;
    int units = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
    if (units <= 0) return;
    wchar_t* wide = static_cast<wchar_t*>(malloc((size_t(units) + 1) * sizeof(wchar_t)));
    if (!wide) return;
    if (MultiByteToWideChar(codePage, 0, text, length, wide, units) == units) {
        if (length < 0) --units;  // the measured form converts the terminating zero too
        record = NewRecord(wide, units);
    }
    free(wide);
}

CZELString::CZELString(unsigned value, bool hex, unsigned char width) : record(nullptr)
{
    wchar_t digits[40];
    int length = 0;
    Tow(digits, length, value, hex, width > 32 ? 32 : width);
    record = NewRecord(digits, length);
}

CZELString::~CZELString()
{
    Release(record);
}

CZELString& CZELString::operator=(const CZELString& other)
{
    Adopt(Share(other.record));  // shares first, so self-assignment keeps the record alive
    return *this;
}

CZELString& CZELString::operator=(const wchar_t* text)
{
    Adopt(NewRecord(text, MeasureOrKeep(text, -1)));  // copies first: text may be our own buffer
    return *this;
}

// ---- text operations -----------------------------------------------------------------------

CZELString CZELString::Substring(int index, int count) const
{
    int length = GetLength();
    if (index < 0 || count <= 0 || index >= length) return CZELString();
    if (count > length - index) count = length - index;
    return CZELString(NewRecord(record->buffer + index, count));
}

int CZELString::Find(int start, const CZELString& what) const
{
    int length = GetLength(), needle = what.GetLength();
    if (length == 0 || needle == 0) return -1;
    if (start < 0) start = 0;
    for (int i = start; i + needle <= length; ++i)
        if (wmemcmp(record->buffer + i, what.record->buffer, size_t(needle)) == 0) return i;
    return -1;
}

void CZELString::Remove(const CZELString& what)
{
    int length = GetLength(), needle = what.GetLength();
    if (length == 0 || needle == 0 || Find(0, what) < 0) return;
    wchar_t* kept = static_cast<wchar_t*>(malloc(size_t(length) * sizeof(wchar_t)));
    if (!kept) return;
    int n = 0;
    for (int i = 0; i < length;) {
        if (i + needle <= length && wmemcmp(record->buffer + i, what.record->buffer, size_t(needle)) == 0) {
            i += needle;
        } else {
            kept[n++] = record->buffer[i++];
        }
    }
    Adopt(NewRecord(kept, n));
    free(kept);
}

void CZELString::ToLower()
{
    int length = GetLength();
    if (length == 0) return;
    StringRecord* lowered = NewRecord(record->buffer, length);
    if (!lowered) return;
    const wchar_t* lower = Fold();
    for (int i = 0; i < length; ++i) lowered->buffer[i] = lower[(unsigned short)lowered->buffer[i]];
    Adopt(lowered);
}

unsigned CZELString::Uint(bool hex) const
{
    return Toi(GetBuffer(), GetLength(), hex);
}

CZELString CZELString::operator+(const CZELString& right) const
{
    return Construct(GetBuffer() ? GetBuffer() : L"", GetLength(), right.GetBuffer(), right.GetLength(),
                     static_cast<const wchar_t*>(nullptr));
}

CZELString CZELString::operator+(const wchar_t* right) const
{
    return *this + CZELString(right);
}

CZELString operator+(const wchar_t* left, const CZELString& right)
{
    return CZELString(left) + right;
}

CZELString& CZELString::operator+=(const CZELString& right)
{
    if (right.GetLength() > 0) *this = *this + right;
    return *this;
}

CZELString& CZELString::operator+=(const wchar_t* right)
{
    return *this += CZELString(right);
}

// ---- comparison ----------------------------------------------------------------------------

bool CZELString::operator==(const CZELString& other) const
{
    if (record == other.record) return true;
    int length = GetLength();
    if (length != other.GetLength()) return false;
    return length == 0 || CompareFolded(record->buffer, length, other.record->buffer, length) == 0;
}

bool CZELString::operator==(const wchar_t* text) const
{
    int length = MeasureOrKeep(text, -1);
    if (length != GetLength()) return false;
    return length == 0 || CompareFolded(record->buffer, length, text, length) == 0;
}

int CZELString::Compare(const CZELString& other) const
{
    if (record == other.record) return 0;
    return CompareFolded(GetBuffer(), GetLength(), other.GetBuffer(), other.GetLength());
}

// ---- static utilities ----------------------------------------------------------------------

char* CZELString::Convert(const CZELString& text, unsigned codePage)
{
    return Convert(text.GetBuffer(), text.GetLength(), codePage);
}

char* CZELString::Convert(const wchar_t* text, int length, unsigned codePage)
{
    if (!text || length == 0) return nullptr;
    int bytes = WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return nullptr;
    char* out = static_cast<char*>(malloc(size_t(bytes) + 1));
    if (!out) return nullptr;
    if (WideCharToMultiByte(codePage, 0, text, length, out, bytes, nullptr, nullptr) != bytes) {
        free(out);
        return nullptr;
    }
    out[bytes] = 0;
    return out;
}

CZELString CZELString::Construct(const wchar_t* first, ...)
{
    if (!first) return CZELString();
    va_list args;
    va_start(args, first);
    long long total = 0;
    const wchar_t* piece = first;
    while (piece) {
        int length = va_arg(args, int);
        if (length > 0) total += length;
        piece = va_arg(args, const wchar_t*);
    }
    va_end(args);
    int length = ClipLength(total);
    if (length == 0) return CZELString();

    wchar_t* joined = static_cast<wchar_t*>(malloc(size_t(length) * sizeof(wchar_t)));
    if (!joined) return CZELString();
    va_start(args, first);
    int at = 0;
    for (piece = first; piece; piece = va_arg(args, const wchar_t*)) {
        int count = va_arg(args, int);
        if (count <= 0) continue;
        if (count > length - at) count = length - at;
        memcpy(joined + at, piece, size_t(count) * sizeof(wchar_t));
        at += count;
    }
    va_end(args);
    CZELString result(NewRecord(joined, KeptLength(joined, total)));
    free(joined);
    return result;
}

char* CZELString::Construct(const char* first, ...)
{
    if (!first) return nullptr;
    va_list args;
    va_start(args, first);
    size_t total = 0;
    for (const char* piece = first; piece; piece = va_arg(args, const char*)) {
        int length = va_arg(args, int);
        if (length > 0) total += size_t(length);
    }
    va_end(args);
    if (total == 0) return nullptr;

    char* joined = static_cast<char*>(malloc(total + 1));
    if (!joined) return nullptr;
    va_start(args, first);
    size_t at = 0;
    for (const char* piece = first; piece; piece = va_arg(args, const char*)) {
        int count = va_arg(args, int);
        if (count <= 0) continue;
        memcpy(joined + at, piece, size_t(count));
        at += size_t(count);
    }
    va_end(args);
    joined[at] = 0;
    return joined;
}

const wchar_t* CZELString::Find(const wchar_t* text, int, const wchar_t* needle, int)
{
    return text && needle ? wcsstr(text, needle) : nullptr;
}

const char* CZELString::Find(const char* text, int, const char* needle, int)
{
    return text && needle ? strstr(text, needle) : nullptr;
}

unsigned CZELString::Toi(const wchar_t* text, int length, bool hex)
{
    return ParseNumber(text, length, hex);
}

unsigned CZELString::Toi(const char* text, int length, bool hex)
{
    return ParseNumber(text, length, hex);
}

void CZELString::Tow(wchar_t* out, int& length, unsigned value, bool hex, int width)
{
    FormatNumber(out, length, value, hex, width);
}

void CZELString::Toa(char* out, int& length, unsigned value, bool hex, int width)
{
    FormatNumber(out, length, value, hex, width);
}

int CZELString::IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

int CZELString::IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

char* CZELString::Base64Encode(const char* data, int& length)
{
    return EncodeBase64(data, length);
}

char* CZELString::Base64Encode(const wchar_t* data, int& length)
{
    return EncodeBase64(data, length);
}

char* CZELString::Base64Decode(const char* text, int& length)
{
    return DecodeBase64(text, length);
}

char* CZELString::Base64Decode(const wchar_t* text, int& length)
{
    return DecodeBase64(text, length);
}
