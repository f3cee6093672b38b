// CTabbedDialog: the full-screen dialog with a strip of tabs along its bottom edge, one tab per page
// window; the base of the chat window and of every settings-style dialog. It keeps the pages, draws
// and measures the strip, scrolls a strip wider than the screen, takes taps, double taps and drags
// of the stylus, blinks an alert picture on tabs that want attention, and drives the strip from the
// keyboard through a small child button that holds the focus for it.
//
// The current page is the only visible page window. Pages and their windows are owned: a page's
// window object is deleted with its page. User-interface thread only.
#pragma once

#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELString.h"
#include "ZELCommon/ZELWMUI_BigDlg.h"

#include <windows.h>

#include <vector>

struct TabPage {
    int id;                          // the caller's key for the page
    UI::CZELWMUI_WndBase* window;    // owned
    int width;                       // the tab's width in pixels
    CZELArray<int> icons;            // skin pictures drawn over each other
    CZELString caption;
    int alert;                       // -1, or the picture shown blinking
};

class CTabbedDialog : public UI::CZELWMUI_BigDlg {
public:
    enum {
        WM_STRIP_KEY = WM_USER + 6,  // 1030: a key from the key button, wParam the virtual key
        AlertTimerId = 3000,
        AlertPeriodMs = 500,
        DoubleTapMs = 499,
    };

    CTabbedDialog();
    ~CTabbedDialog() override;

    // Measures the tab and places the window, hidden, in the page area; no selection, no redraw.
    void AddPage(int id, UI::CZELWMUI_WndBase* window, const CZELString& caption, const CZELArray<int>& icons);
    // Deletes the page and its window and selects a neighbour; the dialog hides with the last page.
    void RemovePage(int id);
    void RemoveAllPages();
    // The id must exist (callers check with HasPage).
    void SelectPage(int id);
    void SetPageCaption(int id, const CZELString& caption);
    void SetPageIcons(int id, const CZELArray<int>& icons);
    // An alerted page keeps its first alert picture.
    void SetPageAlert(int id, int picture);
    void ClearPageAlert(int id);

    TabPage* FindPage(int id);
    int IndexOfPage(int id) const;
    bool HasPage(int id) const;
    int PageIdOfWindow(const UI::CZELWMUI_WndBase* window) const;
    // -1 when there is no current page.
    int GetCurrentPageId() const;
    void FocusCurrentPage();
    // Layout, then every tab measured again and every page moved into the page area.
    void Relayout();

    int GetPageCount() const { return int(pages.size()); }
    // The page at index, in strip order (0 to GetPageCount() - 1).
    TabPage* PageAt(int index) const { return pages[size_t(index)]; }
    int GetFirstVisible() const { return firstVisible; }
    long GetAlertedCount() const { return alertedCount; }
    bool IsAlertTimerRunning() const { return alertTimer; }
    bool IsStripFocused() const { return stripFocus != 0; }
    bool IsOverflowing() const { return overflow; }
    bool IsScrolled() const { return scrolled; }
    int GetPressedTab() const { return pressedTab; }
    HWND GetKeyButton() const { return keyButton; }
    const RECT& GetStripRect() const { return strip; }
    const RECT& GetPageArea() const { return pageArea; }
    // The tabs' widths in page order.
    std::vector<int> GetTabWidths() const;
    // The strip's hit test: a tab index or one of TabStrip's Hit values.
    int HitTestTab(const POINT& point) const;

    // Every page's data exchange in page order; 0 at the first page that refuses.
    int DoDataExchange(int save) override;

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnCommand(WORD notifyCode, WORD id, HWND control) override;
    void OnTimer(UINT_PTR id, TIMERPROC procedure) override;
    void OnLButtonDown(int keyFlags, const POINT& point) override;
    void OnLButtonUp(int keyFlags, const POINT& point) override;
    void OnMouseMove(int keyFlags, const POINT& point) override;
    void Paint(HDC dc) override;
    HBRUSH GetBkBrush() override;
    COLORREF GetTextColor() override;
    void OnInitDialog() override;
    void OnScreenSizeChanged() override;
    void OnActivate(WORD state, int minimized, HWND other) override;

    // After the base's operations, in this order.
    virtual void OnPageChanged();
    virtual void OnTabDoubleTap();
    // A band the subclass keeps below the strip, in pixels.
    virtual int GetBottomBarHeight();

protected:
    void Layout();
    void MeasureTab(TabPage& page);
    void ScrollToCurrentTab();
    void ScrollTabsBy(int x);
    void PaintTabIcons(HDC dc);

private:
    // 0 when the key moved the strip (consumed), 1 when the button is to handle it.
    LRESULT OnStripKey(int key);
    void SelectIndex(int index);
    void StartAlertTimer();
    void StopAlertTimer();
    static LRESULT CALLBACK KeyForwardButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam);

    std::vector<TabPage*> pages;
    RECT pageArea;
    RECT strip;
    int current;
    int firstVisible;
    bool overflow;
    bool scrolled;
    long alertedCount;  // changed only with interlocked operations
    bool alertTimer;
    HWND keyButton;
    int stripFocus;
    int pressedTab;
    int pressX;
    DWORD pressTick;
    bool releaseAfterDoubleTap;  // the release that ends a double tap does nothing
};

// Redraws a window that the caller holds only by pointer.
void RedrawWindowNow(UI::CZELWMUI_WndBase* window);
