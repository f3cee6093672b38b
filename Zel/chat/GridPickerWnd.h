// CGridPickerWnd: the one-row strip of recent smilies. It starts with the first smilies of the pack
// that fit its width; each smiley pushed moves to the front and the cells that no longer fit go. A
// tap or Enter on a cell reports the smiley to the observer. Animated smilies play in their cells.
//
// The strip works on any parent. It shows the pack given at creation, or the program's pack in use
// when given none; its cells point into that pack, so the strip is Reset before the pack goes.
#pragma once

#include "Zel/chat/AnimatedPictureWnd.h"
#include "ZELCommon/ZELWMUI_Wnd.h"

#include <windows.h>

#include <memory>
#include <vector>

class CSmileyPack;
class CGridPickerWnd;

class IGridPickerObserver {
public:
    virtual void OnSmileyPicked(CGridPickerWnd* strip, int smiley) = 0;

protected:
    ~IGridPickerObserver() {}
};

class CGridPickerWnd : public UI::CZELWMUI_Wnd, public IAnimatedElementOwner {
public:
    // pack: null for the program's pack in use.
    CGridPickerWnd(const CSmileyPack* pack, IGridPickerObserver* observer);
    ~CGridPickerWnd() override;

    // Deletes every cell; with a loaded pack, the first smilies that fit, in pack order.
    void Fill();
    // Smiley n to the front (nothing when it has a cell), then Trim.
    void PushSmiley(int n);
    // Deletes the cells that no longer fit; at least one stays.
    void Trim();
    // Deletes every cell; the next show (or Fill) fills again.
    void Reset();

    bool FillPending() const { return fillPending; }
    int Selection() const { return selection; }
    // The smilies of the cells, front first.
    std::vector<int> Smilies() const;
    // A cell's element position in client pixels.
    POINT CellPosition(int index) const;

    void OnWindowPosChanged(WINDOWPOS* position) override;
    void OnKeyDown(int virtualKey) override;
    void OnChar(wchar_t character, LPARAM keyData) override;
    void OnLButtonDown(int keyFlags, const POINT& point) override;
    void OnSetFocus(HWND previous) override;
    void OnKillFocus(HWND next) override;
    int OnGetDlgCode() override;
    void Paint(HDC dc) override;
    void PaintX(HDC dc) override;
    HBRUSH GetBkBrush() override;
    void OnFrameChanged(AnimatedElement* element, int frame) override;

private:
    struct PickerCell {
        std::unique_ptr<CSmileyCellElement> element;
        int x, y;
        bool repaint;
    };

    std::vector<int> ElementWidths() const;
    void PlaceCells();
    void Tell(int index);

    const CSmileyPack& Pack() const;

    const CSmileyPack* fixedPack;
    IGridPickerObserver* observer;
    std::vector<PickerCell> cells;
    int selection;
    bool fillPending;
};

// Allocates the strip and makes its window (visible, bordered, a tab stop) over rect in parent.
CGridPickerWnd* CreateGridPicker(HWND parent, const RECT& rect, IGridPickerObserver* observer, const CSmileyPack& pack);
CGridPickerWnd* CreateGridPicker(HWND parent, const RECT& rect, IGridPickerObserver* observer);  // the program's pack
