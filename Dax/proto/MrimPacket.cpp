#include "Dax/proto/MrimPacket.h"

#include "ZELCommon/NarrowBytes.h"

#include <cstdlib>
#include <cstring>

namespace Mrim {

namespace {

unsigned ReadU32LE(const unsigned char* p)
{
    return p[0] | (unsigned(p[1]) << 8) | (unsigned(p[2]) << 16) | (unsigned(p[3]) << 24);
}

void PutU32LE(unsigned char* p, unsigned value)
{
    p[0] = (unsigned char)value;
    p[1] = (unsigned char)(value >> 8);
    p[2] = (unsigned char)(value >> 16);
    p[3] = (unsigned char)(value >> 24);
}

unsigned CodePageOf(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8: return 65001;
    case Encoding::Cp1251: return 1251;
    default: return 0;
    }
}

} // namespace

bool ReadHeader(const unsigned char* bytes, size_t length, PacketHeader& out)
{
    if (!bytes || length < HeaderSize) return false;
    out.magic = ReadU32LE(bytes);
    out.version = ReadU32LE(bytes + 4);
    out.sequence = ReadU32LE(bytes + 8);
    out.command = ReadU32LE(bytes + 12);
    out.bodyLength = ReadU32LE(bytes + 16);
    out.fromAddress = ReadU32LE(bytes + 20);
    out.fromPort = ReadU32LE(bytes + 24);
    return true;
}

Bytes BuildPacket(unsigned command, unsigned sequence, const unsigned char* body, size_t bodyLength)
{
    Bytes packet(HeaderSize + bodyLength, 0);
    PutU32LE(&packet[0], Magic);
    PutU32LE(&packet[4], ProtocolVersion);
    PutU32LE(&packet[8], sequence);
    PutU32LE(&packet[12], command);
    PutU32LE(&packet[16], unsigned(bodyLength));
    if (body && bodyLength) memcpy(&packet[HeaderSize], body, bodyLength);
    return packet;
}

Bytes Encode(const CZELString& text, Encoding encoding)
{
    if (encoding != Encoding::Utf16LE) return NarrowBytes(text, CodePageOf(encoding));
    Bytes out(size_t(text.GetLength()) * 2);
    const wchar_t* units = text.GetBuffer();
    for (int i = 0; i < text.GetLength(); ++i) {
        out[2 * size_t(i)] = (unsigned char)(units[i] & 0xFF);
        out[2 * size_t(i) + 1] = (unsigned char)(units[i] >> 8);
    }
    return out;
}

CZELString Decode(const unsigned char* bytes, size_t length, Encoding encoding)
{
    if (!bytes || length == 0) return CZELString();
    if (length > 0x7FFFFFFF) return CZELString();
    if (encoding != Encoding::Utf16LE)
        return CZELString(reinterpret_cast<const char*>(bytes), int(length), CodePageOf(encoding));
    size_t units = length / 2;
    if (units == 0) return CZELString();
    std::vector<wchar_t> text(units);
    for (size_t i = 0; i < units; ++i) text[i] = wchar_t(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return CZELString(text.data(), int(units));
}

Bytes ToBase64(const Bytes& bytes)
{
    if (bytes.empty() || bytes.size() > 0x3FFFFFFF) return Bytes();
    int length = int(bytes.size());
    char* text = CZELString::Base64Encode(reinterpret_cast<const char*>(bytes.data()), length);
    Bytes out;
    if (text) out.assign(text, text + length);
    free(text);
    return out;
}

Bytes FromBase64(const unsigned char* text, size_t length)
{
    if (!text || length == 0 || length > 0x7FFFFFFF) return Bytes();
    int size = int(length);
    char* bytes = CZELString::Base64Decode(reinterpret_cast<const char*>(text), size);
    Bytes out;
    if (bytes) out.assign(bytes, bytes + size);
    free(bytes);
    return out;
}

std::wstring LowerKey(const CZELString& text)
{
    CZELString lower = text;
    lower.ToLower();
    return lower.GetBuffer() ? std::wstring(lower.GetBuffer(), size_t(lower.GetLength())) : std::wstring();
}

BodyWriter& BodyWriter::U32(unsigned value)
{
    unsigned char field[4];
    PutU32LE(field, value);
    bytes.insert(bytes.end(), field, field + 4);
    return *this;
}

BodyWriter& BodyWriter::Raw(const unsigned char* data, size_t length)
{
    if (data && length) bytes.insert(bytes.end(), data, data + length);
    return *this;
}

BodyWriter& BodyWriter::Lps(const unsigned char* data, size_t length)
{
    U32(unsigned(length));
    return Raw(data, length);
}

bool ReadLps(ByteReader& reader, const unsigned char*& bytes, size_t& length)
{
    length = reader.U32LE();
    bytes = reader.Bytes(length);
    if (reader.Failed()) {
        bytes = nullptr;
        length = 0;
        return false;
    }
    return true;
}

CZELString ReadLps(ByteReader& reader, Encoding encoding)
{
    const unsigned char* bytes = nullptr;
    size_t length = 0;
    if (!ReadLps(reader, bytes, length)) return CZELString();
    return Decode(bytes, length, encoding);
}

} // namespace Mrim
