#include "ZELCommon/ZELWMUI_ScrollWnd.h"

#include <climits>

namespace UI {

namespace {
int ClampToInt(long long value)
{
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : int(value);
}

// The bar takes its new values at once but is drawn with the window's next paint: drawn at each
// change it costs a synchronous frame paint (milliseconds under Wine), paid on every line a log adds.
void WriteBar(HWND window, const SCROLLINFO& bar)
{
    SCROLLINFO old = {};
    old.cbSize = sizeof(old);
    old.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    const bool had = GetScrollInfo(window, SB_VERT, &old) != FALSE;
    ::SetScrollInfo(window, SB_VERT, &bar, FALSE);
    SCROLLINFO now = old;
    GetScrollInfo(window, SB_VERT, &now);
    if (!had || now.nMin != old.nMin || now.nMax != old.nMax || now.nPage != old.nPage || now.nPos != old.nPos)
        RedrawWindow(window, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
}
}  // namespace

int ScrollRequestPosition(int code, const SCROLLINFO& bar, int step)
{
    switch (code) {
    case SB_LINEUP:
        return ClampToInt((long long)bar.nPos - step);
    case SB_LINEDOWN:
        return ClampToInt((long long)bar.nPos + step);
    case SB_PAGEUP:
        return ClampToInt((long long)bar.nPos - (long long)bar.nPage);
    case SB_PAGEDOWN:
        return ClampToInt((long long)bar.nPos + (long long)bar.nPage);
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        return bar.nTrackPos;
    case SB_TOP:
        return bar.nMin;
    case SB_BOTTOM:
        return bar.nMax;
    default:
        return bar.nPos;
    }
}

CZELWMUI_ScrollWnd::CZELWMUI_ScrollWnd(int scrollTic) : scrollTic(scrollTic) {}

int CZELWMUI_ScrollWnd::Create(HINSTANCE instance, HWND parent, DWORD style, const RECT& rect)
{
    return CZELWMUI_Wnd::Create(instance, parent, style | WS_BORDER | WS_VSCROLL | WS_TABSTOP, rect);
}

void CZELWMUI_ScrollWnd::SetScrollInfo(int min, int max, int page, int pos)
{
    SCROLLINFO bar = {};
    bar.cbSize = sizeof(bar);
    bar.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    bar.nMin = min;
    bar.nMax = max;
    bar.nPage = (UINT)page;
    bar.nPos = pos;
    WriteBar(hwnd, bar);
}

void CZELWMUI_ScrollWnd::SetScrollInfo(int min, int max, int page)
{
    SCROLLINFO bar = {};
    bar.cbSize = sizeof(bar);
    bar.fMask = SIF_RANGE | SIF_PAGE;
    bar.nMin = min;
    bar.nMax = max;
    bar.nPage = (UINT)page;
    WriteBar(hwnd, bar);
}

void CZELWMUI_ScrollWnd::SetScrollPos(int pos)
{
    SCROLLINFO bar = {};
    bar.cbSize = sizeof(bar);
    bar.fMask = SIF_POS;
    bar.nPos = pos;
    WriteBar(hwnd, bar);
    OnScroll();
    Redraw(PaintFull);
}

namespace {
SCROLLINFO ReadBar(HWND window)
{
    SCROLLINFO bar = {};
    bar.cbSize = sizeof(bar);
    bar.fMask = SIF_ALL;
    if (!window || !::GetScrollInfo(window, SB_VERT, &bar)) {
        bar = SCROLLINFO();
        bar.cbSize = sizeof(bar);
    }
    return bar;
}
}  // namespace

void CZELWMUI_ScrollWnd::GetScrollRange(int* min, int* max) const
{
    SCROLLINFO bar = ReadBar(hwnd);
    if (min) *min = bar.nMin;
    if (max) *max = bar.nMax;
}

int CZELWMUI_ScrollWnd::GetScrollMinRange() const
{
    return ReadBar(hwnd).nMin;
}

int CZELWMUI_ScrollWnd::GetScrollMaxRange() const
{
    return ReadBar(hwnd).nMax;
}

int CZELWMUI_ScrollWnd::GetScrollPos() const
{
    return ReadBar(hwnd).nPos;
}

int CZELWMUI_ScrollWnd::GetScrollPage() const
{
    return (int)ReadBar(hwnd).nPage;
}

void CZELWMUI_ScrollWnd::OnCreate()
{
    SetScrollInfo(0, 0, 0, 0);
}

LRESULT CZELWMUI_ScrollWnd::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_VSCROLL) SetScrollPos(ScrollRequestPosition(LOWORD(wParam), ReadBar(hwnd), scrollTic));
    return 1;
}

void CZELWMUI_ScrollWnd::OnScroll() {}

}  // namespace UI
