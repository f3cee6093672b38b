#include "Handheld/ShellDrawing.h"

#include "Handheld/Device.h"

namespace ShellDrawing {

int ScreenDpi()
{
    return GetScreenLogPixels(LOGPIXELSY);
}

HINSTANCE LayerModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCWSTR)&LayerModule, &module);
    return module;
}

BufferedPaint::BufferedPaint(HDC target, const RECT& area)
    : target(target), area(area), memory(nullptr), bitmap(nullptr), previousBitmap(nullptr), previousOrigin()
{
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return;
    memory = CreateCompatibleDC(target);
    if (!memory) return;
    bitmap = CreateCompatibleBitmap(target, width, height);
    if (!bitmap) {
        DeleteDC(memory);
        memory = nullptr;
        return;
    }
    previousBitmap = SelectObject(memory, bitmap);
    // Callers draw in the target's coordinates.
    SetWindowOrgEx(memory, area.left, area.top, &previousOrigin);
}

BufferedPaint::~BufferedPaint()
{
    if (!memory) return;
    BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, memory, area.left, area.top,
           SRCCOPY);
    SetWindowOrgEx(memory, previousOrigin.x, previousOrigin.y, nullptr);
    SelectObject(memory, previousBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

void Fill(HDC dc, const RECT& rect, int systemColour)
{
    FillRect(dc, &rect, GetSysColorBrush(systemColour));
}

void Text(HDC dc, const RECT& rect, const wchar_t* text, int systemColour, UINT alignment)
{
    if (!text || !*text) return;
    HGDIOBJ previousFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    int previousMode = SetBkMode(dc, TRANSPARENT);
    COLORREF previousColour = SetTextColor(dc, GetSysColor(systemColour));
    RECT box = rect;
    DrawTextW(dc, text, -1, &box, alignment | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_HIDEPREFIX);
    SetTextColor(dc, previousColour);
    SetBkMode(dc, previousMode);
    SelectObject(dc, previousFont);
}

void Frame(HDC dc, const RECT& rect, int systemColour)
{
    FrameRect(dc, &rect, GetSysColorBrush(systemColour));
}

}  // namespace ShellDrawing
