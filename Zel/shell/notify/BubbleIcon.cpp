#include "Zel/shell/notify/Notifier.h"

#include "Zel/core/skin/SkinImageSet.h"
#include "Handheld/Device.h"

#include <vector>

HICON MakeBubbleIcon(CSkinImageSet* images, int image)
{
    int width = (GetScreenLogPixels(LOGPIXELSX) + 3) * 16 / 96;
    int height = (GetScreenLogPixels(LOGPIXELSY) + 3) * 16 / 96;
    if (width <= 0 || height <= 0) return nullptr;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP colour = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (!colour || !bits) {
        if (colour) DeleteObject(colour);
        return nullptr;
    }
    // Black everywhere, then the picture scaled over it.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, colour);
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, HBRUSH(GetStockObject(BLACK_BRUSH)));
    if (images && image >= 0) images->DrawStretched(image, dc, 0, 0, width, height, 1, 255);
    GdiFlush();
    SelectObject(dc, old);
    DeleteDC(dc);

    // The mask: opaque (0) wherever the colour is not black.
    int stride = ((width + 15) / 16) * 2;
    std::vector<unsigned char> mask(size_t(stride) * size_t(height), 0xFF);
    const unsigned* pixels = static_cast<const unsigned*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (pixels[y * width + x] & 0x00FFFFFF) mask[size_t(y * stride + x / 8)] &= ~(0x80 >> (x % 8));
    HBITMAP maskBitmap = CreateBitmap(width, height, 1, 1, mask.data());

    ICONINFO icon = {};
    icon.fIcon = TRUE;
    icon.hbmColor = colour;
    icon.hbmMask = maskBitmap;
    HICON result = CreateIconIndirect(&icon);
    DeleteObject(colour);
    if (maskBitmap) DeleteObject(maskBitmap);
    return result;
}
