#include "ZELCommon/ZELWMUI_ListImageCtrl.h"

#include "ZELCommon/ImageSelectionOutline.h"

namespace UI {

using namespace ImageLayout;

CZELWMUI_ListImageCtrl::CZELWMUI_ListImageCtrl(MLICtrlObserver* observer, int count, int cellWidth, int cellHeight,
                                               int horizontalGap, int verticalGap)
    : count(count),
      cellWidth(cellWidth),
      cellHeight(cellHeight),
      columns(0),
      rows(0),
      horizontalGap(horizontalGap),
      verticalGap(verticalGap),
      selected(-1),
      observer(observer)
{
}

CZELWMUI_ListImageCtrl::~CZELWMUI_ListImageCtrl() {}

GridMetrics CZELWMUI_ListImageCtrl::Metrics() const
{
    return GridMetrics{count, cellWidth, cellHeight, horizontalGap, verticalGap};
}

int CZELWMUI_ListImageCtrl::SetSelectImage(int index)
{
    if (index < 0 || index >= count) index = 0;
    // Without cells there is no first cell to fall back on.
    selected = count > 0 ? index : -1;
    SynchronizeSelectImage();
    Redraw(PaintFull);
    return selected;
}

int CZELWMUI_ListImageCtrl::GetImageRect(int index, RECT* out) const
{
    return GridCellRect(Metrics(), columns, index, GetScrollPos(), out) ? 1 : 0;
}

int CZELWMUI_ListImageCtrl::HitTest(const POINT& point) const
{
    return GridHitTest(Metrics(), columns, rows, GetScrollPos(), point);
}

void CZELWMUI_ListImageCtrl::InitGrid()
{
    int remembered = GetScrollPos();
    SetScrollInfo(0, 0, 0, 0);  // hides the bar, so the client shows its full width

    RECT client = {};
    if (hwnd) GetClientRect(hwnd, &client);
    GridShape shape = ComputeGrid(Metrics(), client.right, client.bottom, GetSystemMetrics(SM_CXVSCROLL));
    columns = shape.columns;
    rows = shape.rows;
    if (shape.needsScrollBar) {
        SetScrollTic(shape.scrollStep);
        SetScrollInfo(0, shape.scrollMax, client.bottom, remembered);
    }
    ReLayoutItems();
    SynchronizeSelectImage();
}

void CZELWMUI_ListImageCtrl::ReLayoutItems()
{
    GridMetrics metrics = Metrics();
    int position = GetScrollPos();
    RECT cell;
    for (int i = 0; i < count; ++i) {
        if (GridCellRect(metrics, columns, i, position, &cell)) LayoutItem(i, cell);
    }
}

void CZELWMUI_ListImageCtrl::HighliteSelectImage(HDC dc)
{
    RECT cell;
    if (HasSelection() && GetImageRect(selected, &cell)) DrawImageSelectionOutline(dc, cell);
}

void CZELWMUI_ListImageCtrl::SynchronizeSelectImage()
{
    RECT content;
    if (!HasSelection() || !GridCellRect(Metrics(), columns, selected, 0, &content)) return;
    int position = GetScrollPos();
    int wanted = ScrollToShow(content.top, content.bottom, position, GetClientHeight(), verticalGap);
    if (wanted != position) SetScrollPos(wanted);
    Redraw(PaintFull);
}

void CZELWMUI_ListImageCtrl::OnCreate()
{
    CZELWMUI_ScrollWnd::OnCreate();
    InitGrid();
}

void CZELWMUI_ListImageCtrl::OnWindowPosChanged(WINDOWPOS* position)
{
    CZELWMUI_ScrollWnd::OnWindowPosChanged(position);
    if (position && !(position->flags & SWP_NOSIZE)) InitGrid();
}

void CZELWMUI_ListImageCtrl::OnKeyDown(int virtualKey)
{
    if (virtualKey == VK_RETURN) {
        if (HasSelection() && observer) observer->OnImageActivate(this, selected);
        return;
    }
    KeyMove move = GridKeyMove(count, columns, selected, virtualKey);
    if (!move.moved) return;
    selected = move.selection;
    SynchronizeSelectImage();
    if (observer) observer->OnImageSelect(this, selected);
}

void CZELWMUI_ListImageCtrl::OnLButtonDown(int keyFlags, const POINT& point)
{
    int previous = selected;
    selected = HitTest(point);
    SynchronizeSelectImage();
    // A tap beside the cells clears the selection: repaint so its outline goes too.
    if (selected < 0 && previous != selected) Redraw(PaintFull);
    if (selected >= 0 && observer) observer->OnImageActivate(this, selected);
}

int CZELWMUI_ListImageCtrl::OnGetDlgCode()
{
    return DLGC_WANTARROWS;
}

void CZELWMUI_ListImageCtrl::Paint(HDC dc)
{
    int height = GetClientHeight();
    if (height <= 0 || GetClientWidth() <= 0) return;
    HighliteSelectImage(dc);
    GridMetrics metrics = Metrics();
    int position = GetScrollPos();
    RECT cell;
    for (int i = 0; i < count; ++i) {
        if (GridCellRect(metrics, columns, i, position, &cell) && cell.bottom > 0 && cell.top < height) {
            RedrawImage(i, cell, dc);
        }
    }
}

void CZELWMUI_ListImageCtrl::OnScroll()
{
    ReLayoutItems();
}

void CZELWMUI_ListImageCtrl::RedrawImage(int index, const RECT& rect, HDC dc) {}

void CZELWMUI_ListImageCtrl::LayoutItem(int index, const RECT& rect) {}

}  // namespace UI
