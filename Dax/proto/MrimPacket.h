// The MRIM packet: a 44-byte little-endian header (magic, protocol version, sequence, command, body
// length, from address, from port, 16 reserved bytes) and a body of fields. Body fields are u32
// little-endian numbers and LPS strings (a u32 byte length, then exactly that many bytes) in one of
// the encodings each field names. Pure code over byte buffers.
#pragma once

#include "ZELCommon/ByteReader.h"
#include "ZELCommon/ZELString.h"

#include <cstddef>
#include <string>
#include <vector>

namespace Mrim {

typedef std::vector<unsigned char> Bytes;

enum : unsigned {
    HeaderSize = 44,
    Magic = 0xDEADBEEF,
    ProtocolVersion = 0x00010013,
    // A body longer than this is not a packet of this protocol: the connection is given up rather
    // than buffered without end. The largest real body, a contact list of some thousands of
    // entries, stays well below it.
    MaxBodyLength = 4u << 20,
};

struct PacketHeader {
    unsigned magic = 0;
    unsigned version = 0;
    unsigned sequence = 0;
    unsigned command = 0;
    unsigned bodyLength = 0;
    unsigned fromAddress = 0;
    unsigned fromPort = 0;
};

// Reads the header from the first 44 bytes; false when fewer are given.
bool ReadHeader(const unsigned char* bytes, size_t length, PacketHeader& out);
// A whole packet: the header as sent (magic, version, sequence, command, body length, zeros) and
// the body behind it.
Bytes BuildPacket(unsigned command, unsigned sequence, const unsigned char* body, size_t bodyLength);
inline Bytes BuildPacket(unsigned command, unsigned sequence, const Bytes& body = Bytes())
{
    return BuildPacket(command, sequence, body.data(), body.size());
}

// How the bytes of an LPS field are read as text.
enum class Encoding { Utf8, Cp1251, Utf16LE, System };

// The bytes of a text in an encoding (UTF-16LE: two bytes a unit, low byte first).
Bytes Encode(const CZELString& text, Encoding encoding);
// A text from bytes (UTF-16LE: length / 2 units, an odd last byte left out).
CZELString Decode(const unsigned char* bytes, size_t length, Encoding encoding);
inline CZELString Decode(const Bytes& bytes, Encoding encoding)
{
    return Decode(bytes.data(), bytes.size(), encoding);
}

// Standard Base64 with padding, and back (line breaks in the text are skipped; empty when the text
// is empty).
Bytes ToBase64(const Bytes& bytes);
Bytes FromBase64(const unsigned char* text, size_t length);

// A name or address in lower case, as the protocol's keys, columns and addresses compare.
std::wstring LowerKey(const CZELString& text);

// Writes a body field by field.
class BodyWriter {
public:
    BodyWriter& U32(unsigned value);
    BodyWriter& Raw(const unsigned char* bytes, size_t length);
    BodyWriter& Raw(const Bytes& bytes) { return Raw(bytes.data(), bytes.size()); }
    // u32 length and the bytes.
    BodyWriter& Lps(const unsigned char* bytes, size_t length);
    BodyWriter& Lps(const Bytes& bytes) { return Lps(bytes.data(), bytes.size()); }
    BodyWriter& Lps(const CZELString& text, Encoding encoding) { return Lps(Encode(text, encoding)); }

    const Bytes& Get() const { return bytes; }
    Bytes Take() { return std::move(bytes); }

private:
    Bytes bytes;
};

// An LPS field's bytes in place; false, with the reader failed, when its length runs past the body.
bool ReadLps(ByteReader& reader, const unsigned char*& bytes, size_t& length);
// An LPS field as text; empty, with the reader failed, when it runs past the body.
CZELString ReadLps(ByteReader& reader, Encoding encoding);

} // namespace Mrim
