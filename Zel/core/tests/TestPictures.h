// Pictures made in memory for the image set, so that where a window draws one shows on the screen.
#pragma once

#include "Zel/core/skin/SkinPicture.h"

#include <windows.h>

#include <cstdint>

namespace TestSupport {

// A 2 x 2 picture as the image set holds them: 32-bit alpha-multiplied BGRA, bottom row first.
inline CSkinPicture* TwoByTwoPicture(const uint32_t (&pixels)[4])
{
    CSkinPicture* picture = new CSkinPicture;
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, 2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    uint32_t* bits = nullptr;
    picture->bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    picture->width = picture->height = 2;
    if (bits)
        for (int i = 0; i < 4; ++i) bits[i] = pixels[i];
    return picture;
}

// An opaque picture of one colour.
inline CSkinPicture* SolidPicture(COLORREF colour)
{
    const uint32_t pixel =
        0xFF000000u | (uint32_t(GetRValue(colour)) << 16) | (uint32_t(GetGValue(colour)) << 8) | GetBValue(colour);
    return TwoByTwoPicture({pixel, pixel, pixel, pixel});
}

}  // namespace TestSupport
