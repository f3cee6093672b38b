#include "ZELCommon/ZELWMUI_FloatListImageCtrl.h"

#include "ZELCommon/ImageSelectionOutline.h"

#include <climits>

namespace UI {

using namespace ImageLayout;

CZELWMUI_FloatListImageCtrl::CZELWMUI_FloatListImageCtrl(MFLICtrlObserver* observer, int horizontalGap,
                                                         int verticalGap)
    : horizontalGap(horizontalGap), verticalGap(verticalGap), observer(observer), selected(-1)
{
}

CZELWMUI_FloatListImageCtrl::~CZELWMUI_FloatListImageCtrl() {}

int CZELWMUI_FloatListImageCtrl::ScrollMax() const
{
    long long max = (long long)FlowContentBottom(items) + verticalGap;
    return max > INT_MAX ? INT_MAX : max < 0 ? 0 : int(max);
}

RECT CZELWMUI_FloatListImageCtrl::ItemInClient(int index, int position) const
{
    RECT rect = items[index];
    OffsetRect(&rect, 0, -position);
    return rect;
}

void CZELWMUI_FloatListImageCtrl::AddItem(int width, int height)
{
    int clientWidth = GetClientWidth();
    if (!FlowAddItem(items, itemSizes, rowStarts, width, height, clientWidth, horizontalGap, verticalGap)) return;
    SetScrollInfo(0, ScrollMax(), GetClientHeight(), 0);
    // Showing the scroll bar took width from the client: the rows must wrap sooner.
    if (GetClientWidth() < clientWidth) RecalculateCells();
    ReLayoutItems();
}

int CZELWMUI_FloatListImageCtrl::SetSelectImage(int index)
{
    int count = items.GetCount();
    if (index < 0 || index >= count) index = 0;
    // Without items there is no first item to fall back on.
    selected = count > 0 ? index : -1;
    SynchronizeSelectImage();
    Redraw(PaintFull);
    return selected;
}

int CZELWMUI_FloatListImageCtrl::HitTest(const POINT& point) const
{
    return FlowHitTest(items, rowStarts, GetClientWidth(), GetScrollPos(), point);
}

void CZELWMUI_FloatListImageCtrl::RecalculateCells()
{
    int clientWidth = GetClientWidth();
    FlowRecalculate(items, itemSizes, rowStarts, clientWidth, horizontalGap, verticalGap);
    // The content height changed with the rows: a stale range would leave items out of reach.
    // Fitting it may show or hide the bar, which changes the width once more; narrower rows only
    // grow taller, so a second pass settles it.
    SetScrollInfo(0, ScrollMax(), GetClientHeight());
    if (GetClientWidth() != clientWidth) {
        FlowRecalculate(items, itemSizes, rowStarts, GetClientWidth(), horizontalGap, verticalGap);
        SetScrollInfo(0, ScrollMax(), GetClientHeight());
    }
}

void CZELWMUI_FloatListImageCtrl::ReLayoutItems()
{
    int position = GetScrollPos();
    for (int i = 0; i < items.GetCount(); ++i) LayoutItem(i, ItemInClient(i, position));
}

void CZELWMUI_FloatListImageCtrl::HighliteSelectImage(HDC dc)
{
    if (HasSelection()) DrawImageSelectionOutline(dc, ItemInClient(selected, GetScrollPos()));
}

void CZELWMUI_FloatListImageCtrl::SynchronizeSelectImage()
{
    if (!HasSelection()) return;
    const RECT& item = items[selected];
    int position = GetScrollPos();
    int wanted = ScrollToShow(item.top, item.bottom, position, GetClientHeight(), verticalGap);
    if (wanted != position) SetScrollPos(wanted);
    Redraw(PaintFull);
}

void CZELWMUI_FloatListImageCtrl::OnWindowPosChanged(WINDOWPOS* position)
{
    CZELWMUI_ScrollWnd::OnWindowPosChanged(position);
    if (position && !(position->flags & SWP_NOSIZE)) {
        RecalculateCells();
        ReLayoutItems();
    }
}

void CZELWMUI_FloatListImageCtrl::OnKeyDown(int virtualKey)
{
    if (virtualKey == VK_RETURN) {
        if (HasSelection() && observer) observer->OnImageActivate(this, selected);
        return;
    }
    KeyMove move = FlowKeyMove(items, rowStarts, selected, virtualKey);
    if (!move.moved) return;
    selected = move.selection;
    SynchronizeSelectImage();
    if (observer) observer->OnImageSelect(this, selected);
}

void CZELWMUI_FloatListImageCtrl::OnLButtonDown(int keyFlags, const POINT& point)
{
    int previous = selected;
    selected = HitTest(point);
    SynchronizeSelectImage();
    // A tap beside the items clears the selection: repaint so its outline goes too.
    if (selected < 0 && previous != selected) Redraw(PaintFull);
    if (selected >= 0 && observer) observer->OnImageActivate(this, selected);
}

int CZELWMUI_FloatListImageCtrl::OnGetDlgCode()
{
    return DLGC_WANTARROWS;
}

void CZELWMUI_FloatListImageCtrl::Paint(HDC dc)
{
    int height = GetClientHeight();
    if (height <= 0 || GetClientWidth() <= 0) return;
    HighliteSelectImage(dc);
    int position = GetScrollPos();
    for (int i = 0; i < items.GetCount(); ++i) {
        RECT rect = ItemInClient(i, position);
        if (rect.bottom > 0 && rect.top < height) RedrawImage(i, rect, dc);
    }
}

void CZELWMUI_FloatListImageCtrl::OnScroll()
{
    ReLayoutItems();
}

void CZELWMUI_FloatListImageCtrl::RedrawImage(int index, const RECT& rect, HDC dc) {}

void CZELWMUI_FloatListImageCtrl::LayoutItem(int index, const RECT& rect) {}

}  // namespace UI
