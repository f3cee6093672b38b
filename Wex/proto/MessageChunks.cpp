#include "Wex/proto/MessageChunks.h"

namespace Wex {

namespace {

bool IsHighSurrogate(wchar_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

} // namespace

size_t EncodedSize(TextForm form, unsigned codePoint)
{
    switch (form) {
    case TextForm::Utf16: return codePoint > 0xFFFF ? 4 : 2;
    case TextForm::Utf8: return codePoint < 0x80 ? 1 : codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
    // A character the code page lacks is sent as one replacement byte, a pair at most as two.
    case TextForm::CodePage1251: return codePoint > 0xFFFF ? 2 : 1;
    }
    return 4;
}

std::vector<CZELString> CutMessageText(const CZELString& text, TextForm form, size_t maxUnits, size_t maxBytes)
{
    std::vector<CZELString> chunks;
    const wchar_t* units = text.GetBuffer();
    const size_t length = size_t(text.GetLength());
    // A limit below one character would cut nothing: take one character at least.
    if (maxUnits < 2) maxUnits = 2;
    if (maxBytes < 4) maxBytes = 4;
    size_t start = 0;
    while (start < length) {
        size_t end = start;
        size_t bytes = 0;
        while (end < length) {
            size_t width = 1;
            unsigned codePoint = units[end];
            if (IsHighSurrogate(units[end]) && end + 1 < length && IsLowSurrogate(units[end + 1])) {
                width = 2;
                codePoint = 0x10000 + ((unsigned(units[end]) - 0xD800) << 10) + (unsigned(units[end + 1]) - 0xDC00);
            }
            const size_t size = EncodedSize(form, codePoint);
            if (end + width - start > maxUnits || bytes + size > maxBytes) break;
            bytes += size;
            end += width;
        }
        chunks.push_back(CZELString(units + start, int(end - start)));
        start = end;
    }
    return chunks;
}

} // namespace Wex
