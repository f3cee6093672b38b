// A square push button showing one skin picture. A tap (pen up) or Enter or Space released tells the
// parent as WM_COMMAND with identifier 0xFFFF, code 0 and the button's window; the arrow keys and Tab
// pass the focus on through the parent (WM_NEXTDLGCTL), other characters go to the parent.
#pragma once

#include "ZELCommon/ZELWMUI_Wnd.h"

class CImageButton : public UI::CZELWMUI_Wnd {
public:
    explicit CImageButton(int image) : image(image), pressed(false) {}

    enum { CommandId = 0xFFFF };

    void OnKeyDown(int virtualKey) override;
    void OnKeyUp(int virtualKey) override;
    void OnChar(wchar_t character, LPARAM keyData) override;
    void OnLButtonDown(int keyFlags, const POINT& point) override;
    void OnLButtonUp(int keyFlags, const POINT& point) override;
    void OnSetFocus(HWND previous) override { Redraw(UI::PaintFull); }
    void OnKillFocus(HWND next) override { Redraw(UI::PaintFull); }
    int OnGetDlgCode() override { return DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTCHARS; }
    void Paint(HDC dc) override;
    HBRUSH GetBkBrush() override;

private:
    void Clicked();

    int image;
    bool pressed;
};

// Creates the button as a visible child of parent over rect; null when no window could be made.
CImageButton* CreateImageButton(HWND parent, const RECT& rect, int image);
