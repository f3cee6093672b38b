// A long message leaves as several messages: the text is cut, in order, into chunks of at most
// MaxChunkUnits UTF-16 units whose encoded size in the form they travel in is at most
// MaxChunkBytes, and never inside a character (a surrogate pair stays whole), so every chunk fits
// one packet and each shows whole characters.
#pragma once

#include "ZELCommon/ZELString.h"

#include <cstddef>
#include <vector>

namespace Wex {

enum { MaxChunkUnits = 2000, MaxChunkBytes = 4000 };

enum class TextForm { Utf16, Utf8, CodePage1251 };

// The bytes one character (one unit, or a surrogate pair) takes in form.
size_t EncodedSize(TextForm form, unsigned codePoint);

// The chunks of text, none empty; none for an empty text.
std::vector<CZELString> CutMessageText(const CZELString& text, TextForm form, size_t maxUnits = MaxChunkUnits,
                                       size_t maxBytes = MaxChunkBytes);

} // namespace Wex
