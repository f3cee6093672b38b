// UI::CZELWMUI_FloatListImageCtrl: items of different sizes flowing left to right and wrapping
// into rows, all items of a row sharing its top and bottom; one item may be selected by touch or
// with the direction keys. Like the grid it draws only the selection outline: a derived class draws
// each item in RedrawImage and may place child windows in LayoutItem.
//
// The rows are placed again whenever the width changes, and the scroll range follows the content.
// The arithmetic lives in ImageGridLayout.h. User-interface thread only.
#pragma once

#include "ZELCommon/ImageGridLayout.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELWMUI_ScrollWnd.h"

#include <windows.h>

namespace UI {

class ZELCOMMON_API CZELWMUI_FloatListImageCtrl : public CZELWMUI_ScrollWnd {
public:
    class MFLICtrlObserver {
    public:
        // A tap on an item, or Enter with an item selected.
        virtual void OnImageActivate(CZELWMUI_FloatListImageCtrl* control, int index) = 0;
        // The selection was moved with a direction key.
        virtual void OnImageSelect(CZELWMUI_FloatListImageCtrl* control, int index) = 0;

    protected:
        ~MFLICtrlObserver() {}
    };

    // observer may be null.
    CZELWMUI_FloatListImageCtrl(MFLICtrlObserver* observer, int horizontalGap, int verticalGap);
    CZELWMUI_FloatListImageCtrl(const CZELWMUI_FloatListImageCtrl& other) = default;
    CZELWMUI_FloatListImageCtrl& operator=(const CZELWMUI_FloatListImageCtrl& other) = default;
    ~CZELWMUI_FloatListImageCtrl() override;

    // Appends an item of width x height after the last one, or at the start of a new row when it
    // would pass the client's width; the view goes back to the top.
    void AddItem(int width, int height);

    // The selected item, -1 for none.
    int GetSelectImage() const { return selected; }
    // Selects index (one outside the items selects the first item), brings it into view and
    // repaints; the observer is not told. Returns the selection, -1 when there are no items.
    int SetSelectImage(int index);
    // The item under a client point, or -1.
    int HitTest(const POINT& point) const;

    // Places every item again for the client's width and fits the scroll range to the content.
    void RecalculateCells();
    // LayoutItem for every item at its current place.
    void ReLayoutItems();
    // Outlines the selected item.
    void HighliteSelectImage(HDC dc);
    // Scrolls the selected item into view, then repaints.
    void SynchronizeSelectImage();

    void OnWindowPosChanged(WINDOWPOS* position) override;
    void OnKeyDown(int virtualKey) override;
    void OnLButtonDown(int keyFlags, const POINT& point) override;
    // Dialogs hand the direction keys to the control.
    int OnGetDlgCode() override;
    void Paint(HDC dc) override;
    void OnScroll() override;

    // Slots 25 and 26: draw item index into rect (client coordinates), and place what belongs to it.
    virtual void RedrawImage(int index, const RECT& rect, HDC dc);
    virtual void LayoutItem(int index, const RECT& rect);

private:
    bool HasSelection() const { return selected >= 0 && selected < items.GetCount(); }
    // Item index in client coordinates at the scroll position.
    RECT ItemInClient(int index, int position) const;
    int ScrollMax() const;

    int horizontalGap;
    int verticalGap;
    CZELArray<RECT> items;
    CZELArray<SIZE> itemSizes;  // each item's own size: a row stretches its items' rectangles
    CZELArray<int> rowStarts;
    MFLICtrlObserver* observer;
    int selected;
};

}  // namespace UI
