#include "Handheld/ShellFrame.h"

#include "Handheld/ShellDrawing.h"
#include "Handheld/ShellUiLayout.h"

#include <windowsx.h>

namespace ShellFrame {

namespace {

const wchar_t kProperty[] = L"ZelShellFrame";

// The strip in window coordinates (GetWindowDC), above the client area.
RECT StripInWindow(HWND window, const State& state)
{
    RECT windowRect = {}, client = {};
    GetWindowRect(window, &windowRect);
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    RECT strip;
    strip.left = origin.x - windowRect.left;
    strip.right = strip.left + client.right;
    strip.bottom = origin.y - windowRect.top;
    strip.top = strip.bottom - state.stripHeight;
    return strip;
}

RECT StripOnScreen(HWND window, const State& state)
{
    RECT windowRect = {};
    GetWindowRect(window, &windowRect);
    RECT strip = StripInWindow(window, state);
    OffsetRect(&strip, windowRect.left, windowRect.top);
    return strip;
}

RECT ButtonOnScreen(HWND window, const State& state)
{
    RECT strip = StripOnScreen(window, state);
    RECT button = ShellLayout::TitleButtonRect(strip.right - strip.left, strip.bottom - strip.top,
                                               ShellDrawing::ScreenDpi());
    OffsetRect(&button, strip.left, strip.top);
    return button;
}

void PaintStrip(HWND window, const State& state)
{
    if (!state.titleStrip || state.stripHeight <= 0) return;
    HDC windowDC = GetWindowDC(window);
    if (!windowDC) return;
    RECT strip = StripInWindow(window, state);
    {
        ShellDrawing::BufferedPaint buffer(windowDC, strip);
        HDC dc = buffer.Get();
        ShellDrawing::Fill(dc, strip, COLOR_ACTIVECAPTION);
        int dpi = ShellDrawing::ScreenDpi();
        RECT button = {0, 0, 0, 0};
        if (state.button) {
            button = ShellLayout::TitleButtonRect(strip.right - strip.left, strip.bottom - strip.top, dpi);
            OffsetRect(&button, strip.left, strip.top);
        }
        RECT title = strip;
        title.left += ShellLayout::Scale(6, dpi);
        if (button.right > button.left) title.right = button.left - ShellLayout::Scale(4, dpi);
        wchar_t text[256] = L"";
        InternalGetWindowText(window, text, 256);  // no message: the window may refuse WM_GETTEXT
        ShellDrawing::Text(dc, title, text, COLOR_CAPTIONTEXT, DT_LEFT);
        if (button.right > button.left) {
            if (state.buttonPressed) ShellDrawing::Fill(dc, button, COLOR_HIGHLIGHT);
            ShellDrawing::Frame(dc, button, COLOR_CAPTIONTEXT);
            ShellDrawing::Text(dc, button, state.button == IDOK ? L"OK" : L"Cancel",
                               state.buttonPressed ? COLOR_HIGHLIGHTTEXT : COLOR_CAPTIONTEXT, DT_CENTER);
        }
    }
    ReleaseDC(window, windowDC);
}

void ReserveStrip(HWND window, State& state, WPARAM calculateValid, LPARAM lParam)
{
    RECT* client = calculateValid ? &((NCCALCSIZE_PARAMS*)lParam)->rgrc[0] : (RECT*)lParam;
    if (!client) return;
    int wanted = ShellLayout::TitleStripHeight(ShellDrawing::ScreenDpi());
    int room = client->bottom - client->top;
    state.stripHeight = wanted < room ? wanted : (room > 0 ? room : 0);
    client->top += state.stripHeight;
}

bool BarShown(const State& state)
{
    return state.bar && IsWindow(state.bar) && IsWindowVisible(state.bar);
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    State* state = Find(window);
    if (!state) return DefWindowProcW(window, message, wParam, lParam);
    WNDPROC previous = state->previous;

    switch (message) {
    case WM_NCCALCSIZE: {
        LRESULT result = CallWindowProcW(previous, window, message, wParam, lParam);
        if (state->titleStrip) ReserveStrip(window, *state, wParam, lParam);
        return result;
    }
    case WM_NCPAINT:
    case WM_NCACTIVATE:
    case WM_SETTEXT: {
        LRESULT result = CallWindowProcW(previous, window, message, wParam, lParam);
        PaintStrip(window, *state);
        return result;
    }
    case WM_NCHITTEST: {
        if (!state->titleStrip) break;
        POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        RECT strip = StripOnScreen(window, *state);
        if (!PtInRect(&strip, point)) break;
        RECT button = ButtonOnScreen(window, *state);
        return state->button && PtInRect(&button, point) ? HTOBJECT : HTBORDER;
    }
    case WM_NCLBUTTONDOWN:
        if (state->titleStrip && state->button && wParam == HTOBJECT) {
            state->buttonPressed = true;
            SetCapture(window);
            PaintStrip(window, *state);
            return 0;
        }
        break;
    case WM_LBUTTONUP:
        if (state->buttonPressed) {
            state->buttonPressed = false;
            ReleaseCapture();
            PaintStrip(window, *state);
            POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ClientToScreen(window, &point);
            RECT button = ButtonOnScreen(window, *state);
            // The handler may destroy the window and this state with it: nothing is touched after.
            if (PtInRect(&button, point)) SendMessageW(window, WM_COMMAND, MAKEWPARAM(state->button, BN_CLICKED), 0);
            return 0;
        }
        break;
    case WM_CAPTURECHANGED:
        if (state->buttonPressed && (HWND)lParam != window) {
            state->buttonPressed = false;
            PaintStrip(window, *state);
        }
        break;
    case WM_WINDOWPOSCHANGED: {
        LRESULT result = CallWindowProcW(previous, window, message, wParam, lParam);
        PlaceBar(window, *state);
        return result;
    }
    case WM_PAINT:
        // Without WS_CLIPCHILDREN the window's own painting would cover the bar.
        if (BarShown(*state)) {
            RECT bar = {};
            GetWindowRect(state->bar, &bar);
            MapWindowPoints(nullptr, window, (POINT*)&bar, 2);
            // Only the window's own update region: the bar still paints itself.
            RedrawWindow(window, &bar, nullptr, RDW_VALIDATE | RDW_NOCHILDREN);
        }
        break;
    case WM_NCDESTROY: {
        RemovePropW(window, kProperty);
        SetWindowLongPtrW(window, GWLP_WNDPROC, (LONG_PTR)previous);
        delete state;
        return CallWindowProcW(previous, window, message, wParam, lParam);
    }
    default:
        break;
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

}  // namespace

State* Find(HWND window)
{
    return window ? (State*)GetPropW(window, kProperty) : nullptr;
}

State* Attach(HWND window)
{
    if (State* existing = Find(window)) return existing;
    State* state = new State();
    if (!SetPropW(window, kProperty, state)) {
        delete state;
        return nullptr;
    }
    state->previous = (WNDPROC)SetWindowLongPtrW(window, GWLP_WNDPROC, (LONG_PTR)FrameProc);
    if (!state->previous) {
        RemovePropW(window, kProperty);
        delete state;
        return nullptr;
    }
    return state;
}

void FitToOwner(HWND window)
{
    RECT area = {};
    LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    HWND owner = (style & WS_CHILD) ? GetParent(window) : GetWindow(window, GW_OWNER);
    if (owner) {
        GetClientRect(owner, &area);
        // A child is placed in its parent's client coordinates, a popup on the screen.
        if (!(style & WS_CHILD)) MapWindowPoints(owner, nullptr, (POINT*)&area, 2);
    } else {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    SetWindowPos(window, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void PlaceBar(HWND window, const State& state)
{
    if (!state.bar || !IsWindow(state.bar)) return;
    RECT client = {};
    GetClientRect(window, &client);
    int height = ShellLayout::SoftKeyBarHeight(ShellDrawing::ScreenDpi());
    if (height > client.bottom) height = client.bottom;
    SetWindowPos(state.bar, HWND_TOP, 0, client.bottom - height, client.right, height, SWP_NOACTIVATE);
}

}  // namespace ShellFrame
