#include "Wex/proto/WireText.h"

#include <cstring>

namespace Wex {

CZELString Widen(const unsigned char* bytes, size_t length, unsigned codePage)
{
    if (!bytes || length == 0) return CZELString();
    return CZELString(reinterpret_cast<const char*>(bytes), int(length), codePage);
}

CZELString WidenToZero(const unsigned char* bytes, size_t length, unsigned codePage)
{
    if (!bytes) return CZELString();
    const void* zero = memchr(bytes, 0, length);
    return Widen(bytes, zero ? size_t(static_cast<const unsigned char*>(zero) - bytes) : length, codePage);
}

CZELString WidenUtf16BE(const unsigned char* bytes, size_t length)
{
    size_t units = length / 2;
    if (!bytes || units == 0) return CZELString();
    std::vector<wchar_t> text(units);
    for (size_t i = 0; i < units; ++i) text[i] = wchar_t((bytes[2 * i] << 8) | bytes[2 * i + 1]);
    return CZELString(text.data(), int(units));
}

CZELString ReadStr8(ByteReader& reader, unsigned codePage)
{
    size_t length = reader.U8();
    const unsigned char* bytes = reader.Bytes(length);
    return reader.Failed() ? CZELString() : Widen(bytes, length, codePage);
}

CZELString ReadStr16(ByteReader& reader, unsigned codePage)
{
    size_t length = reader.U16();
    const unsigned char* bytes = reader.Bytes(length);
    return reader.Failed() ? CZELString() : Widen(bytes, length, codePage);
}

CZELString NormaliseName(const CZELString& name)
{
    CZELString normal = name;
    normal.Remove(CZELString(L" "));
    normal.ToLower();
    return normal;
}

} // namespace Wex
