// What the codec's tests, the plug-in's tests and the benchmark share: bytes written by hand (hex,
// and a small writer laid out from the field tables without the codec's own writer), packets built
// the same way, and the hostile-input entry point that feeds a buffer to every reader.
#pragma once

#include "Dax/proto/MrimPacket.h"

#include <string>
#include <vector>

namespace MrimTest {

using Mrim::Bytes;

// "EF BE AD DE ...": pairs of hexadecimal digits; blanks and line ends between them are ignored.
Bytes Hex(const std::string& text);
std::string ToHex(const Bytes& bytes);
std::wstring Text(const CZELString& text);
CZELString Str(const std::wstring& text);

// Appends fields in the order written, numbers little-endian.
class Wire {
public:
    Wire& U32(unsigned value);
    Wire& Raw(const Bytes& bytes);
    Wire& Text(const std::string& bytes);
    // u32 length and the bytes as given (ASCII, UTF-8 or code page bytes written out).
    Wire& Lps(const std::string& bytes);
    Wire& Lps(const Bytes& bytes);
    // u32 length (two bytes a unit) and the UTF-16LE units.
    Wire& Lps16(const std::wstring& text);

    const Bytes& Get() const { return bytes; }
    operator const Bytes&() const { return bytes; }

private:
    Bytes bytes;
};

// UTF-16LE bytes of a text.
Bytes Utf16(const std::wstring& text);
// A packet written by hand: magic, version, sequence, command, length, 24 zero bytes, body.
Bytes Packet(unsigned command, unsigned sequence, const Bytes& body);

// Runs every reader of the codec over a packet body of each command; must never crash.
void ReadEveryWay(const unsigned char* body, size_t length);

} // namespace MrimTest
