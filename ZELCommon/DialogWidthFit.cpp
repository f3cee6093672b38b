#include "ZELCommon/DialogWidthFit.h"

#include <algorithm>

namespace UI {

int FitToWidth(int x, int designed, int width)
{
    if (designed <= 0 || width >= designed) return x;
    return MulDiv(x, std::max(width, 0), designed);
}

namespace {

RECT ChildRect(HWND window, HWND child)
{
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// A combo box's window height includes its drop-down list: sizing it by its closed height would
// leave the list no room.
int FullHeight(HWND child, const RECT& rect)
{
    wchar_t kind[16] = L"";
    GetClassNameW(child, kind, 16);
    if (lstrcmpiW(kind, L"ComboBox") == 0) {
        RECT dropped = {};
        if (SendMessageW(child, CB_GETDROPPEDCONTROLRECT, 0, LPARAM(&dropped)))
            return std::max<LONG>(dropped.bottom - dropped.top, rect.bottom - rect.top);
    }
    return rect.bottom - rect.top;
}

}  // namespace

void FitChildrenToWidth(HWND window, int designed, int width)
{
    int reach = 0;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        reach = std::max<int>(reach, ChildRect(window, child).right);
    if (width <= 0 || reach <= width) return;
    // The template's own right margin is squeezed with the controls, so the last one keeps some.
    designed = std::max(designed, reach);
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const RECT rect = ChildRect(window, child);
        const int left = FitToWidth(rect.left, designed, width);
        const int right = FitToWidth(rect.right, designed, width);
        SetWindowPos(child, nullptr, left, rect.top, right - left, FullHeight(child, rect),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

}  // namespace UI
