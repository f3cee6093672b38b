#include "Zel/core/skin/SkinPicture.h"

#include "ZELCommon/ZELWMUI_HiDpi.h"

void CSkinPicture::Free()
{
    if (bitmap) DeleteObject(bitmap);
    bitmap = nullptr;
    width = height = 0;
}

int CSkinPicture::IconWidth()
{
    return (g_HIDPI_LogPixelsX + 3) * 16 / 96;
}

int CSkinPicture::IconHeight()
{
    return (g_HIDPI_LogPixelsY + 3) * 16 / 96;
}

void CSkinPicture::Blend(HDC dc, int left, int top, int targetWidth, int targetHeight, int alpha) const
{
    HDC source = CreateCompatibleDC(dc);
    if (!source) return;
    HGDIOBJ previous = SelectObject(source, bitmap);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, BYTE(alpha < 0 ? 0 : alpha > 255 ? 255 : alpha), AC_SRC_ALPHA};
    AlphaBlend(dc, left, top, targetWidth, targetHeight, source, 0, 0, width, height, blend);
    SelectObject(source, previous);
    DeleteDC(source);
}

void CSkinPicture::Draw(HDC dc, const POINT& point, int alpha) const
{
    if (IsEmpty()) return;
    Blend(dc, point.x, point.y, IconWidth(), IconHeight(), alpha);
}

void CSkinPicture::DrawStretched(HDC dc, int left, int top, int right, int bottom, int mode, int alpha) const
{
    if (IsEmpty()) return;
    if (mode != 0) {
        Blend(dc, left, top, right - left, bottom - top, alpha);
        return;
    }
    HBRUSH pattern = CreatePatternBrush(bitmap);
    if (!pattern) return;
    RECT area = {left, top, right, bottom};
    FillRect(dc, &area, pattern);
    DeleteObject(pattern);
}
