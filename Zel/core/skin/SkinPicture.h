// CSkinPicture: one decoded skin picture, a 32-bit bitmap of blue, green, red and alpha bytes with the
// colours already multiplied by alpha. A picture without a bitmap is empty: a file that could not be
// read draws nothing.
#pragma once

#include <windows.h>

class CSkinPicture {
public:
    CSkinPicture() : bitmap(nullptr), width(0), height(0) {}
    ~CSkinPicture() { Free(); }
    CSkinPicture(const CSkinPicture&) = delete;
    CSkinPicture& operator=(const CSkinPicture&) = delete;

    bool IsEmpty() const { return bitmap == nullptr; }
    // Deletes the bitmap; the picture is empty afterwards.
    void Free();

    // The whole picture alpha-blended into an icon-sized square at point (alpha 255 opaque): every
    // picture drawn by index is drawn at the icon size, whatever its own size.
    void Draw(HDC dc, const POINT& point, int alpha) const;
    // Mode 0 tiles the rectangle from the brush origin; any other mode stretches the whole picture
    // over it, blended as Draw.
    void DrawStretched(HDC dc, int left, int top, int right, int bottom, int mode, int alpha) const;

    // The icon size at the screen's density: 16 by 16 at 96 dpi.
    static int IconWidth();
    static int IconHeight();

    HBITMAP bitmap;  // owned
    int width;
    int height;

private:
    void Blend(HDC dc, int left, int top, int width, int height, int alpha) const;
};
