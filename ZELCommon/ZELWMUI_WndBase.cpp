#include "ZELCommon/ZELWMUI_WndBase.h"

#include "ZELCommon/ZELWMUI_Gdi.h"

#include <windowsx.h>

namespace UI {

int CombinePaintMode(int current, int requested)
{
    return current == PaintFull ? PaintFull : requested;
}

CZELWMUI_WndBase::CZELWMUI_WndBase() : hwnd(nullptr), paintMode(PaintNone) {}

CZELWMUI_WndBase::CZELWMUI_WndBase(const CZELWMUI_WndBase& other) : hwnd(other.hwnd), paintMode(other.paintMode) {}

CZELWMUI_WndBase& CZELWMUI_WndBase::operator=(const CZELWMUI_WndBase& other)
{
    hwnd = other.hwnd;
    paintMode = other.paintMode;
    return *this;
}

CZELWMUI_WndBase::~CZELWMUI_WndBase()
{
    if (hwnd) DestroyWindow(hwnd);
}

void CZELWMUI_WndBase::OnCreate() {}
void CZELWMUI_WndBase::OnWindowPosChanged(WINDOWPOS*) {}
LRESULT CZELWMUI_WndBase::OnMessage(UINT, WPARAM, LPARAM)
{
    return 1;
}
void CZELWMUI_WndBase::OnCommand(WORD, WORD, HWND) {}
void CZELWMUI_WndBase::OnNotify(HWND, UINT_PTR, UINT, NMHDR*) {}
void CZELWMUI_WndBase::OnDrawItem(UINT, DRAWITEMSTRUCT*) {}
void CZELWMUI_WndBase::OnMeasureItem(UINT, MEASUREITEMSTRUCT*) {}
void CZELWMUI_WndBase::OnTimer(UINT_PTR, TIMERPROC) {}
void CZELWMUI_WndBase::OnKeyDown(int) {}
void CZELWMUI_WndBase::OnKeyUp(int) {}
void CZELWMUI_WndBase::OnChar(wchar_t, LPARAM) {}
void CZELWMUI_WndBase::OnLButtonDown(int, const POINT&) {}
void CZELWMUI_WndBase::OnLButtonUp(int, const POINT&) {}
void CZELWMUI_WndBase::OnMouseMove(int, const POINT&) {}
void CZELWMUI_WndBase::OnSetFocus(HWND) {}
void CZELWMUI_WndBase::OnKillFocus(HWND) {}
int CZELWMUI_WndBase::OnGetDlgCode()
{
    return 0;
}
HBRUSH CZELWMUI_WndBase::OnCtlColor(HDC, HWND)
{
    return nullptr;
}
void CZELWMUI_WndBase::OnClose() {}
void CZELWMUI_WndBase::Paint(HDC) {}
void CZELWMUI_WndBase::PaintX(HDC) {}
HBRUSH CZELWMUI_WndBase::GetBkBrush()
{
    return (HBRUSH)GetStockObject(NULL_BRUSH);
}
COLORREF CZELWMUI_WndBase::GetTextColor()
{
    return RGB(0, 0, 0);
}

BOOL CZELWMUI_WndBase::IsVisible() const
{
    return IsWindowVisible(hwnd);
}

HWND CZELWMUI_WndBase::Parent() const
{
    return GetParent(hwnd);
}

void CZELWMUI_WndBase::Redraw(int mode)
{
    paintMode = CombinePaintMode(paintMode, mode);
    // A null handle would invalidate the whole desktop.
    if (hwnd) InvalidateRect(hwnd, nullptr, FALSE);
}

void CZELWMUI_WndBase::RedrawNow(int mode)
{
    Redraw(mode);
    if (hwnd) UpdateWindow(hwnd);
}

void CZELWMUI_WndBase::Show(int show)
{
    if (show)
        SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    else
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_HIDEWINDOW);
}

void CZELWMUI_WndBase::Move(int x, int y)
{
    SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void CZELWMUI_WndBase::Resize(int width, int height)
{
    SetWindowPos(hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

void CZELWMUI_WndBase::MoveAndResize(int x, int y, int width, int height)
{
    SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER);
}

void CZELWMUI_WndBase::MoveAndResize(const RECT& rect)
{
    MoveAndResize(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

void CZELWMUI_WndBase::UpInZOrder()
{
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
}

int CZELWMUI_WndBase::GetClientWidth() const
{
    RECT client = {};
    GetClientRect(hwnd, &client);
    return client.right - client.left;
}

int CZELWMUI_WndBase::GetClientHeight() const
{
    RECT client = {};
    GetClientRect(hwnd, &client);
    return client.bottom - client.top;
}

void CZELWMUI_WndBase::PaintWnd()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (dc) {
        if (paintMode == PaintPartial) {
            PaintX(dc);
        } else {
            RECT client = {};
            GetClientRect(hwnd, &client);
            // A zero-sized client gets no bitmap (none can be made) and has nothing to show.
            MemoryBitmapDC memory(dc, client.right, client.bottom);
            if (memory.IsValid()) {
                HDC back = memory.Get();
                POINT origin = {0, 0};
                ClientToScreen(hwnd, &origin);
                POINT previousOrigin;
                // The background brush lines up with the screen, so neighbouring windows that share
                // a patterned brush join seamlessly.
                SetBrushOrgEx(back, -origin.x, -origin.y, &previousOrigin);
                FillRect(back, &client, GetBkBrush());
                SetBrushOrgEx(back, previousOrigin.x, previousOrigin.y, nullptr);
                ::SetTextColor(back, GetTextColor());
                SetBkMode(back, TRANSPARENT);
                Paint(back);
                BitBlt(dc, 0, 0, client.right, client.bottom, back, 0, 0, SRCCOPY);
            }
        }
        EndPaint(hwnd, &ps);
    }
    paintMode = PaintNone;
}

LRESULT CZELWMUI_WndBase::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (Dispatch(window, message, wParam, lParam, &result)) return result;
    return DefWindowProcW(window, message, wParam, lParam);
}

bool CZELWMUI_WndBase::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    *result = 0;
    switch (message) {
    case WM_CREATE:
    case WM_INITDIALOG:
        hwnd = window;
        OnCreate();
        return true;
    case WM_DESTROY:
        hwnd = nullptr;
        return false;
    case WM_PAINT:
        PaintWnd();
        return true;
    case WM_ERASEBKGND:
        paintMode = PaintFull;
        *result = 1;
        return true;
    case WM_WINDOWPOSCHANGED:
        paintMode = PaintFull;
        OnWindowPosChanged((WINDOWPOS*)lParam);
        return true;
    case WM_GETDLGCODE:
        *result = OnGetDlgCode();
        return true;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
        HDC dc = (HDC)wParam;
        HWND control = (HWND)lParam;
        HBRUSH brush = OnCtlColor(dc, control);
        if (!brush) {
            POINT origin = {0, 0};
            ClientToScreen(control, &origin);
            SetBrushOrgEx(dc, -origin.x, -origin.y, nullptr);
            ::SetTextColor(dc, GetTextColor());
            SetBkMode(dc, TRANSPARENT);
            brush = GetBkBrush();
        }
        *result = (LRESULT)brush;
        return true;
    }
    case WM_COMMAND:
        OnCommand(HIWORD(wParam), LOWORD(wParam), (HWND)lParam);
        return true;
    case WM_NOTIFY: {
        NMHDR* header = (NMHDR*)lParam;
        if (header) OnNotify(header->hwndFrom, header->idFrom, header->code, header);
        return true;
    }
    case WM_DRAWITEM:
        OnDrawItem((UINT)wParam, (DRAWITEMSTRUCT*)lParam);
        return true;
    case WM_MEASUREITEM:
        OnMeasureItem((UINT)wParam, (MEASUREITEMSTRUCT*)lParam);
        return true;
    case WM_TIMER:
        OnTimer(wParam, (TIMERPROC)lParam);
        return true;
    case WM_KEYDOWN:
        OnKeyDown((int)wParam);
        return true;
    case WM_KEYUP:
        OnKeyUp((int)wParam);
        return true;
    case WM_CHAR:
        OnChar((wchar_t)wParam, lParam);
        return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE: {
        POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (message == WM_LBUTTONDOWN)
            OnLButtonDown((int)wParam, point);
        else if (message == WM_LBUTTONUP)
            OnLButtonUp((int)wParam, point);
        else
            OnMouseMove((int)wParam, point);
        return true;
    }
    case WM_SETFOCUS:
        OnSetFocus((HWND)wParam);
        return true;
    case WM_KILLFOCUS:
        OnKillFocus((HWND)wParam);
        return true;
    case WM_CLOSE:
        OnClose();
        return true;
    default:
        return OnMessage(message, wParam, lParam) == 0;
    }
}

}  // namespace UI
