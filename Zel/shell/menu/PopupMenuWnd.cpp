#include "Zel/shell/menu/PopupMenuWnd.h"

PopupMenuResult ShowPopupMenu(const CPopupMenu&, const RECT&, const POINT&, int, HWND, bool)
{
    return PopupMenuResult{nullptr, -1, 0};
}
