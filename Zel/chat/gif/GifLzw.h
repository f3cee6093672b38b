// The variable-width LZW decoding of GIF image data, into the rows of an 8-bit bitmap.
//
// Codes are read least-significant bit first; the decoder starts as after a clear code, and the code
// width grows once the next free code reaches it (checked after every code, as encoders widen). A
// code at or above the next free entry stands for the previous string followed by its own first
// character.
// Decoding ends well at the end code or once every pixel is written; it fails when the data runs
// out first, when the table would define code 4095, for a minimum code size above
// kLzwMaxMinimumCodeSize (before any table is touched) and for an empty image. Strings never write
// past the last pixel, and interlaced rows follow the four passes, skipping a pass that starts
// below the last row.
#pragma once

#include <cstddef>

// 2^11 roots, the clear and end codes leave room in a 4096-entry table; 2^12 would not.
const int kLzwMaxMinimumCodeSize = 11;

// Decodes size bytes of data into pixels, rows stride bytes apart, width x height pixels. Returns
// the number of bits consumed (never 0 on success), or 0 on failure; a root code above 255 writes
// its low byte. Pixels already written stay written after a failure.
size_t DecodeLzw(const unsigned char* data, size_t size, unsigned char* pixels, int minimumCodeSize, int stride,
                 int width, int height, bool interlaced);
