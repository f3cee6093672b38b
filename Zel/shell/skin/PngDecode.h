// The skin's PNG decoder: a PNG held in memory to 32-bit pixels ready for AlphaBlend. Written in C
// because libpng reports errors by longjmp, which must never cross a C++ frame: every frame between
// the setjmp and the error lies in this file or in libpng.
//
// Whatever the PNG's kind (grey, grey with alpha, palette with or without transparency, RGB, RGBA,
// 1 to 16 bits per sample, interlaced or not), the result is blue, green, red, alpha bytes with the
// colours multiplied by alpha (truncated), rows top-down or bottom-up (the PNG's first row last, as in
// a DIB of positive height). Limits are checked before anything is allocated.
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    ZelPngMaxSide = 16384,            // pixels, either way
    ZelPngMaxPixels = 4096 * 4096,    // width * height
};

enum ZelPngResult {
    ZelPngOk = 0,
    ZelPngNotPng = 1,      // no PNG signature
    ZelPngNoMemory = 2,    // libpng's structures, the pixels or the row table could not be had
    ZelPngTooLarge = 3,    // beyond the limits above
    ZelPngBadData = 4,     // libpng found the data damaged or cut short
    ZelPngBadRowSize = 5,  // the transforms did not give four bytes per pixel
};

// Gives room for width * height * 4 bytes, or null. Called at most once, after the
// header was read and checked; the room belongs to the caller whatever the result.
typedef unsigned char* (*ZelPngAllocate)(void* context, unsigned width, unsigned height);

// Decodes size bytes at data, rows bottom-up when bottomUp is not 0. On ZelPngOk the room is filled
// and *width, *height set.
int ZelPngDecode(const unsigned char* data, size_t size, int bottomUp, ZelPngAllocate allocate, void* context,
                 unsigned* width, unsigned* height);

#ifdef __cplusplus
}
#endif
