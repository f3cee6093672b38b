// Skin pictures from PNG files: the file read whole and decoded by PngDecode into a 32-bit bitmap of
// premultiplied pixels, upright. Anything that fails leaves the picture empty.
#pragma once

#include "Zel/core/skin/SkinPicture.h"
#include "Zel/shell/skin/PngDecode.h"

#include <cstdint>
#include <vector>

// The largest PNG file read: far above any skin picture within ZelPngMaxPixels.
const unsigned kMaxSkinFileBytes = 64u * 1024 * 1024;

// Fills picture from the PNG file at path (the CSkinImageSet loader).
void LoadSkinPicture(const wchar_t* path, CSkinPicture& picture);
// Fills picture from PNG bytes; false (picture empty) when they do not decode.
bool LoadSkinPictureFromBytes(const unsigned char* data, size_t size, CSkinPicture& picture);

// Decoded pixels in memory.
struct DecodedPng {
    unsigned width = 0;
    unsigned height = 0;
    std::vector<uint8_t> pixels;  // BGRA premultiplied
};
// A ZelPngResult. Rows top-down, or bottom-up as a DIB of positive height holds them.
int DecodePng(const unsigned char* data, size_t size, DecodedPng& out, bool bottomUp = true);
