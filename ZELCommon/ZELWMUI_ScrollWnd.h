// UI::CZELWMUI_ScrollWnd: a framework window with a vertical scroll bar moved by a scroll step.
// Every change of the position calls OnScroll and requests a full paint.
#pragma once

#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELWMUI_Wnd.h"

#include <windows.h>

namespace UI {

// The position a WM_VSCROLL request code asks for, from the bar as it stands (all fields of
// SCROLLINFO read) and the scroll step. The result is not clamped: the bar clamps it.
ZELCOMMON_API int ScrollRequestPosition(int code, const SCROLLINFO& bar, int step);

class ZELCOMMON_API CZELWMUI_ScrollWnd : public CZELWMUI_Wnd {
public:
    // The default step is 10 pixels at the screen's vertical density.
    explicit CZELWMUI_ScrollWnd(int scrollTic = HIDPI_ScaleY(10));

    int GetScrollTic() const { return scrollTic; }
    void SetScrollTic(int tic) { scrollTic = tic; }

    // CZELWMUI_Wnd::Create with the style plus WS_BORDER, WS_VSCROLL and WS_TABSTOP.
    int Create(HINSTANCE instance, HWND parent, DWORD style, const RECT& rect);

    // Range, page and position of the bar, redrawing it; the position is not reported to OnScroll.
    void SetScrollInfo(int min, int max, int page, int pos);
    void SetScrollInfo(int min, int max, int page);
    // Moves the bar (it clamps the position to its range), then OnScroll and a full paint.
    void SetScrollPos(int pos);
    void GetScrollRange(int* min, int* max) const;
    int GetScrollMinRange() const;
    int GetScrollMaxRange() const;
    int GetScrollPos() const;
    int GetScrollPage() const;

    // Range, page and position start at 0.
    void OnCreate() override;
    // WM_VSCROLL moves the bar by its request code; every message also gets the default processing.
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Slot 24: after every change of the scroll position.
    virtual void OnScroll();

protected:
    int scrollTic;
};

}  // namespace UI
