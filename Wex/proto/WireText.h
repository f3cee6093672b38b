// Texts on the wire: the program's UTF-16 strings to (NarrowBytes) and from the code pages the packets name
// (UTF-8 for numbers and names, code page 1251 or UTF-16 big-endian for message texts, the system
// code page in a few places), and the str8 / str16 fields that carry them.
#pragma once

#include "Wex/proto/Flap.h"

#include "ZELCommon/ByteReader.h"
#include "ZELCommon/NarrowBytes.h"
#include "ZELCommon/ZELString.h"

namespace Wex {

enum : unsigned { CodePageSystem = 0, CodePage1251 = 1251, CodePageUtf8 = 65001 };

// length bytes in codePage as a string; WidenToZero ends at the first zero byte.
CZELString Widen(const unsigned char* bytes, size_t length, unsigned codePage);
CZELString WidenToZero(const unsigned char* bytes, size_t length, unsigned codePage);
// length / 2 UTF-16 units, each high byte first (an odd last byte is left out).
CZELString WidenUtf16BE(const unsigned char* bytes, size_t length);

// A str8 (u8 length, bytes) and a str16 (u16 length, bytes) in codePage; empty, with the reader
// failed, when the bytes run past it.
CZELString ReadStr8(ByteReader& reader, unsigned codePage);
CZELString ReadStr16(ByteReader& reader, unsigned codePage);

// A contact's name as the engine compares it: every space removed, lower case.
CZELString NormaliseName(const CZELString& name);

} // namespace Wex
