#include "Zel/shell/updater/HttpAnswer.h"

#include <cstring>

namespace HttpAnswer {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool SameText(const char* a, size_t length, const char* b)
{
    if (strlen(b) != length) return false;
    for (size_t i = 0; i < length; ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

}  // namespace

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

size_t HeaderEnd(const char* data, size_t length)
{
    for (size_t i = 0; i + 4 <= length; ++i)
        if (memcmp(data + i, "\r\n\r\n", 4) == 0) return i + 4;
    return 0;
}

int StatusCode(const char* header, size_t length)
{
    size_t i = 0;
    while (i < length && header[i] != ' ' && header[i] != '\r' && header[i] != '\n') ++i;
    if (i >= length || header[i] != ' ') return -1;
    ++i;
    int code = 0;
    size_t digits = 0;
    for (; i < length && IsDigit(header[i]); ++i, ++digits) code = code * 10 + (header[i] - '0');
    if (digits != 3 || i >= length || (header[i] != ' ' && header[i] != '\r')) return -1;
    return code;
}

bool FindField(const char* header, size_t length, const char* name, std::string& value)
{
    // The status line is no field: start after its end.
    size_t line = 0;
    while (line < length && header[line] != '\n') ++line;
    for (++line; line < length;) {
        size_t end = line;
        while (end < length && header[end] != '\n') ++end;
        size_t colon = line;
        while (colon < end && header[colon] != ':') ++colon;
        if (colon < end && SameText(header + line, colon - line, name)) {
            size_t first = colon + 1, last = end;
            if (last > first && header[last - 1] == '\r') --last;
            while (first < last && IsBlank(header[first])) ++first;
            while (last > first && IsBlank(header[last - 1])) --last;
            value.assign(header + first, last - first);
            return true;
        }
        line = end + 1;
    }
    return false;
}

bool ContentLength(const char* header, size_t length, unsigned max, unsigned& size)
{
    std::string text;
    if (!FindField(header, length, "Content-Length", text) || text.empty() || text.size() > 10) return false;
    unsigned long long number = 0;
    for (char c : text) {
        if (!IsDigit(c)) return false;
        number = number * 10 + unsigned(c - '0');
    }
    if (number == 0 || number > max) return false;
    size = unsigned(number);
    return true;
}

bool ContentRangeStart(const std::string& value, unsigned& first)
{
    const char* text = value.c_str();
    if (value.size() < 6 || !SameText(text, 5, "bytes") || !IsBlank(text[5])) return false;
    size_t i = 6;
    while (i < value.size() && IsBlank(text[i])) ++i;
    unsigned long long number = 0;
    size_t digits = 0;
    for (; i < value.size() && IsDigit(text[i]) && digits < 11; ++i, ++digits) number = number * 10 + unsigned(text[i] - '0');
    if (digits == 0 || digits > 10 || number > 0xFFFFFFFFull || i >= value.size() || text[i] != '-') return false;
    first = unsigned(number);
    return true;
}

VersionParse ParseVersionAnswer(const char* body, size_t length, VersionAnswer& answer)
{
    size_t i = 0;
    unsigned build = 0;
    for (; i < length && IsDigit(body[i]); ++i) {
        if (i == 9) return VersionMalformed;
        build = build * 10 + unsigned(body[i] - '0');
    }
    if (i == length) return VersionIncomplete;
    if (i == 0 || body[i] != ' ') return VersionMalformed;
    ++i;
    unsigned char digest[32];
    for (size_t digit = 0; digit < 64; ++digit, ++i) {
        if (i == length) return VersionIncomplete;
        int nibble = HexValue(body[i]);
        if (nibble < 0) return VersionMalformed;
        if (digit % 2 == 0)
            digest[digit / 2] = static_cast<unsigned char>(nibble << 4);
        else
            digest[digit / 2] = static_cast<unsigned char>(digest[digit / 2] | nibble);
    }
    answer.build = build;
    memcpy(answer.digest, digest, sizeof(digest));
    return VersionComplete;
}

}  // namespace HttpAnswer
