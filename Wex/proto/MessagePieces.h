// A long message leaves as several messages: the text is cut, in order, into pieces of at most
// MaxPieceUnits UTF-16 units whose encoded size in the form they travel in is at most
// MaxPieceBytes, and never inside a character (a surrogate pair stays whole), so every piece fits
// one packet and each shows whole characters.
#pragma once

#include "ZELCommon/ZELString.h"

#include <cstddef>
#include <vector>

namespace Wex {

enum { MaxPieceUnits = 2000, MaxPieceBytes = 4000 };

enum class TextForm { Utf16, Utf8, CodePage1251 };

// The bytes one character (one unit, or a surrogate pair) takes in form.
size_t EncodedSize(TextForm form, unsigned codePoint);

// The pieces of text, none empty; no pieces for an empty text.
std::vector<CZELString> CutMessageText(const CZELString& text, TextForm form, size_t maxUnits = MaxPieceUnits,
                                       size_t maxBytes = MaxPieceBytes);

} // namespace Wex
