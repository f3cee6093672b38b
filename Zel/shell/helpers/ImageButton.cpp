#include "Zel/shell/helpers/ImageButton.h"

#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/shell/app/GuiResources.h"

#include <new>

void CImageButton::Clicked()
{
    PostMessageW(Parent(), WM_COMMAND, MAKEWPARAM(CommandId, 0), reinterpret_cast<LPARAM>(hwnd));
}

void CImageButton::OnKeyDown(int key)
{
    switch (key) {
    case VK_RIGHT:
    case VK_DOWN:
    case VK_TAB: PostMessageW(Parent(), WM_NEXTDLGCTL, (key == VK_TAB && (GetKeyState(VK_SHIFT) & 0x8000)) ? 1 : 0, 0); break;
    case VK_LEFT:
    case VK_UP: PostMessageW(Parent(), WM_NEXTDLGCTL, 1, 0); break;
    case VK_RETURN:
    case VK_SPACE:
        pressed = true;
        Redraw(UI::PaintFull);
        break;
    }
}

void CImageButton::OnKeyUp(int key)
{
    if ((key == VK_RETURN || key == VK_SPACE) && pressed) {
        pressed = false;
        Redraw(UI::PaintFull);
        Clicked();
    }
}

void CImageButton::OnChar(wchar_t character, LPARAM keyData)
{
    if (character == L'\t' || character == L'\r' || character == L' ') return;
    SendMessageW(Parent(), WM_CHAR, character, keyData);
}

void CImageButton::OnLButtonDown(int, const POINT&)
{
    pressed = true;
    SetCapture(hwnd);
    Redraw(UI::PaintFull);
}

void CImageButton::OnLButtonUp(int, const POINT& point)
{
    bool wasPressed = pressed;
    pressed = false;
    if (GetCapture() == hwnd) ReleaseCapture();
    Redraw(UI::PaintFull);
    RECT client;
    GetClientRect(hwnd, &client);
    if (wasPressed && PtInRect(&client, point)) Clicked();
}

HBRUSH CImageButton::GetBkBrush()
{
    HBRUSH brush = GuiBackgroundBrush();
    return brush ? brush : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

void CImageButton::Paint(HDC dc)
{
    RECT client;
    GetClientRect(hwnd, &client);
    if (pressed) InvertRect(dc, &client);
    int size = UI::HIDPI_ScaleX(16);
    POINT at = {(client.right - size) / 2, (client.bottom - size) / 2};
    if (CSkinImageSet* images = GuiImages()) images->Draw(image, dc, at, 255);
    if (GetFocus() == hwnd) {
        RECT inner = client;
        InflateRect(&inner, -1, -1);
        DrawFocusRect(dc, &inner);
    }
}

CImageButton* CreateImageButton(HWND parent, const RECT& rect, int image)
{
    CImageButton* button = new (std::nothrow) CImageButton(image);
    if (!button) return nullptr;
    if (!button->Create(GetModuleHandleW(nullptr), parent, WS_VISIBLE | WS_TABSTOP | WS_BORDER, rect)) {
        delete button;
        return nullptr;
    }
    return button;
}
