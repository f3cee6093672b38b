// The selection mark both image-list controls draw: a 1-pixel rounded outline in the system
// highlight colour, one pixel outside the item, with an empty interior so the item shows through.
#pragma once

#include "ZELCommon/ZELWMUI_Gdi.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <windows.h>

namespace UI {

inline void DrawImageSelectionOutline(HDC dc, const RECT& item)
{
    GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_HIGHLIGHT)));
    if (!pen) return;
    GdiSelection usePen(dc, pen.Get());
    GdiSelection useBrush(dc, GetStockObject(NULL_BRUSH));
    RoundRect(dc, item.left - 1, item.top - 1, item.right + 1, item.bottom + 1, HIDPI_ScaleX(3), HIDPI_ScaleY(3));
}

}  // namespace UI
