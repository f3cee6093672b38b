// UI::CZELWMUI_WndBase: binds one object to one window and turns the window's messages into calls
// of its virtual operations. A full repaint is drawn into an off-screen bitmap and copied at once,
// so a window never shows a half-drawn state; a partial repaint (PaintX) draws straight on the
// window. The background is never erased separately: the full paint covers it.
//
// The order of the virtual operations is part of the interface every module shares: new ones go
// after GetTextColor, in derived classes only. User-interface thread only.
#pragma once

#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <windows.h>

namespace UI {

// Paint modes: what the next WM_PAINT draws.
enum {
    PaintNone = -1,    // nothing requested since the last paint
    PaintFull = 0,     // Paint, through the off-screen bitmap
    PaintPartial = 1,  // PaintX only, straight on the window
};

// The paint mode after a request for `requested`: a pending full paint is never lowered.
ZELCOMMON_API int CombinePaintMode(int current, int requested);

class ZELCOMMON_API CZELWMUI_WndBase {
public:
    CZELWMUI_WndBase();
    CZELWMUI_WndBase(const CZELWMUI_WndBase& other);
    CZELWMUI_WndBase& operator=(const CZELWMUI_WndBase& other);
    // Destroys the window when one is still attached.
    virtual ~CZELWMUI_WndBase();

    // Slots 1-23, in this order. The base versions do nothing unless said otherwise.
    // WM_CREATE or WM_INITDIALOG, once the handle is stored.
    virtual void OnCreate();
    // WM_WINDOWPOSCHANGED, after a full paint has been requested.
    virtual void OnWindowPosChanged(WINDOWPOS* position);
    // Every message without a slot of its own; non-zero hands it on to the default processing
    // (the base returns 1).
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void OnCommand(WORD notifyCode, WORD id, HWND control);
    virtual void OnNotify(HWND from, UINT_PTR id, UINT code, NMHDR* header);
    virtual void OnDrawItem(UINT id, DRAWITEMSTRUCT* item);
    virtual void OnMeasureItem(UINT id, MEASUREITEMSTRUCT* item);
    virtual void OnTimer(UINT_PTR id, TIMERPROC procedure);
    virtual void OnKeyDown(int virtualKey);
    virtual void OnKeyUp(int virtualKey);
    virtual void OnChar(wchar_t character, LPARAM keyData);
    virtual void OnLButtonDown(int keyFlags, const POINT& point);
    virtual void OnLButtonUp(int keyFlags, const POINT& point);
    virtual void OnMouseMove(int keyFlags, const POINT& point);
    virtual void OnSetFocus(HWND previous);
    virtual void OnKillFocus(HWND next);
    // The WM_GETDLGCODE answer (base 0).
    virtual int OnGetDlgCode();
    // A brush for the control (WM_CTLCOLOR* except buttons); null (the base) gives the control the
    // window's background brush aligned with the screen and transparent text in GetTextColor.
    virtual HBRUSH OnCtlColor(HDC dc, HWND control);
    virtual void OnClose();
    // Full paint into the off-screen bitmap, already filled with GetBkBrush.
    virtual void Paint(HDC dc);
    // Partial paint, straight on the window.
    virtual void PaintX(HDC dc);
    // Background brush (base: the stock NULL_BRUSH) and text colour (base: black).
    virtual HBRUSH GetBkBrush();
    virtual COLORREF GetTextColor();

    operator HWND() const { return hwnd; }
    BOOL IsVisible() const;
    HWND Parent() const;
    int GetPaintMode() const { return paintMode; }

    // Requests a paint of the whole window (PaintFull or PaintPartial) without erasing.
    void Redraw(int mode);
    // Redraw, then paint at once.
    void RedrawNow(int mode);
    // Non-zero: to the top of the z-order and shown; 0: hidden. Place and size stay.
    void Show(int show);
    void Move(int x, int y);
    void Resize(int width, int height);
    void MoveAndResize(int x, int y, int width, int height);
    void MoveAndResize(const RECT& rect);
    // To the top of the z-order and shown.
    void UpInZOrder();
    int GetClientWidth() const;
    int GetClientHeight() const;

protected:
    // The WM_PAINT handler.
    void PaintWnd();
    // The dispatch: a message to its slot, then to the default window procedure when the slot
    // leaves it unhandled.
    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The dispatch without the default processing: false when the message is left to it, else
    // true with the message's result. Dialog procedures use this to answer FALSE instead.
    bool Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    HWND hwnd;      // 0 while no window is attached
    int paintMode;  // PaintNone after construction and after every paint
};

}  // namespace UI
