// "_define.ini" of a smiley pack: plain text in code page 1251, not an ini file. Its n-th line that
// holds codes belongs to the n-th "*.gif" file of the pack folder in sorted order, and lists that
// smiley's text codes separated by commas.
//
// Lines end with LF; CR bytes are ignored anywhere; the text ends at the end of the data or at a
// zero byte. Nothing is trimmed: spaces belong to a code. Empty codes (two commas in a row, a comma
// at either end) are dropped, and a line with no code at all names no picture. A code of more than
// kSmileyCodeMaxBytes bytes is skipped whole, never cut; its line still names its picture, so the
// lines after it keep theirs, but a picture left without codes gives no smiley.
#pragma once

#include "ZELCommon/ZELString.h"

#include <cstddef>
#include <vector>

const int kSmileyCodeMaxBytes = 19;

// The codes of every line that names a picture, in file order, at most maxPictures lines.
std::vector<std::vector<CZELString>> ParseSmileyDefinition(const unsigned char* data, size_t size, size_t maxPictures);
