// UI::CZELWMUI_ListImageCtrl: a scrolling grid of equal cells that fit the control's width, one of
// which may be selected by touch or with the direction keys. The control draws only the selection
// outline: a derived class draws each cell in RedrawImage and may place child windows in
// LayoutItem. The observer hears of activation (a tap on a cell, Enter) and of selection moves.
//
// A client narrower than one cell still lays out one column; a control without cells never
// selects one. The arithmetic lives in ImageGridLayout.h. User-interface thread only.
#pragma once

#include "ZELCommon/ImageGridLayout.h"
#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELWMUI_ScrollWnd.h"

#include <windows.h>

namespace UI {

class ZELCOMMON_API CZELWMUI_ListImageCtrl : public CZELWMUI_ScrollWnd {
public:
    class MLICtrlObserver {
    public:
        // A tap on a cell, or Enter with a cell selected.
        virtual void OnImageActivate(CZELWMUI_ListImageCtrl* control, int index) = 0;
        // The selection was moved with a direction key.
        virtual void OnImageSelect(CZELWMUI_ListImageCtrl* control, int index) = 0;

    protected:
        ~MLICtrlObserver() {}
    };

    // observer may be null. Nothing is laid out until the window exists.
    CZELWMUI_ListImageCtrl(MLICtrlObserver* observer, int count, int cellWidth, int cellHeight, int horizontalGap,
                           int verticalGap);
    CZELWMUI_ListImageCtrl(const CZELWMUI_ListImageCtrl& other) = default;
    CZELWMUI_ListImageCtrl& operator=(const CZELWMUI_ListImageCtrl& other) = default;
    ~CZELWMUI_ListImageCtrl() override;

    // The selected cell, -1 for none.
    int GetSelectImage() const { return selected; }
    // Selects index (one outside the cells selects the first cell), brings it into view and
    // repaints; the observer is not told. Returns the selection, -1 when there are no cells.
    int SetSelectImage(int index);
    // Cell index in client coordinates; 0 for an index outside the cells or before the layout.
    int GetImageRect(int index, RECT* out) const;
    // The cell under a client point, or -1.
    int HitTest(const POINT& point) const;

    // Counts columns and rows for the client's size, showing the scroll bar when the rows do not fit.
    void InitGrid();
    // LayoutItem for every cell at its current place.
    void ReLayoutItems();
    // Outlines the selected cell.
    void HighliteSelectImage(HDC dc);
    // Scrolls the selected cell into view, then repaints.
    void SynchronizeSelectImage();

    void OnCreate() override;
    void OnWindowPosChanged(WINDOWPOS* position) override;
    void OnKeyDown(int virtualKey) override;
    void OnLButtonDown(int keyFlags, const POINT& point) override;
    // Dialogs hand the direction keys to the grid.
    int OnGetDlgCode() override;
    void Paint(HDC dc) override;
    void OnScroll() override;

    // Slots 25 and 26: draw cell index into rect (client coordinates), and place what belongs to it.
    virtual void RedrawImage(int index, const RECT& rect, HDC dc);
    virtual void LayoutItem(int index, const RECT& rect);

private:
    ImageLayout::GridMetrics Metrics() const;
    bool HasSelection() const { return selected >= 0 && selected < count; }

    int count;
    int cellWidth;
    int cellHeight;
    int columns;
    int rows;
    int horizontalGap;
    int verticalGap;
    int selected;
    MLICtrlObserver* observer;
};

}  // namespace UI
