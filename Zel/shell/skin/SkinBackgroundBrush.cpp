#include "Zel/shell/skin/SkinBackgroundBrush.h"

#include "Zel/core/skin/SkinImageSet.h"

bool SkinBackgroundBrush::Create(CSkinImageSet& images)
{
    // The picture tiled over any area is what its own pattern brush paints: no screen-sized copy of
    // it is made. A skin without the picture paints white.
    images.LoadEntry(BackgroundPicture);
    HBITMAP picture = images.GetBitmap(BackgroundPicture);
    brush = picture ? CreatePatternBrush(picture) : CreateSolidBrush(RGB(255, 255, 255));
    return brush != nullptr;
}

bool SkinBackgroundBrush::Rebuild(CSkinImageSet& images)
{
    Destroy();
    return Create(images);
}

void SkinBackgroundBrush::Destroy()
{
    if (brush) DeleteObject(brush);
    brush = nullptr;
}

HBITMAP MakeSkinBackgroundBitmap(HBRUSH brush, HWND window)
{
    RECT client;
    if (!GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0) return nullptr;
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    HDC windowDc = GetDC(window);
    if (!windowDc) return nullptr;
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc, client.right, client.bottom);
    HDC memory = CreateCompatibleDC(windowDc);
    if (bitmap && memory) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        SetBrushOrgEx(memory, -origin.x, -origin.y, nullptr);
        FillRect(memory, &client, brush ? brush : HBRUSH(GetStockObject(WHITE_BRUSH)));
        SelectObject(memory, previous);
    }
    if (memory) DeleteDC(memory);
    ReleaseDC(window, windowDc);
    return bitmap;
}
