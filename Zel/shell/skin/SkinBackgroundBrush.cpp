#include "Zel/shell/skin/SkinBackgroundBrush.h"

#include "Zel/core/skin/SkinImageSet.h"

bool SkinBackgroundBrush::Create(CSkinImageSet& images)
{
    int side = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    if (GetSystemMetrics(SM_CYVIRTUALSCREEN) > side) side = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (side <= 0) return false;
    HDC screen = GetDC(nullptr);
    if (!screen) return false;
    HBITMAP bitmap = CreateCompatibleBitmap(screen, side, side);
    HDC memory = CreateCompatibleDC(screen);
    if (bitmap && memory) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        images.DrawStretched(BackgroundPicture, memory, 0, 0, side, side, 0, 255);
        SelectObject(memory, previous);
        brush = CreatePatternBrush(bitmap);
    }
    if (memory) DeleteDC(memory);
    if (bitmap) DeleteObject(bitmap);
    ReleaseDC(nullptr, screen);
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
