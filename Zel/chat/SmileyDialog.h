// The smiley dialog: a full-screen dialog whose whole client area is a scrolling grid of the pack's
// smilies, animated, picked by pen or keys. ChooseSmiley runs it and gives the chosen smiley
// number; LastChosenSmiley keeps the choice selected for the next run.
#pragma once

#include "Zel/chat/AnimatedPictureWnd.h"
#include "ZELCommon/ZELWMUI_BigDlg.h"
#include "ZELCommon/ZELWMUI_ScrollWnd.h"

#include <windows.h>

#include <memory>
#include <vector>

class CSmileyPack;
class CNotifier;
class CSmileyGridWnd;

// The grid's selection and the dialog's result, shared by every run.
extern int LastChosenSmiley;

// Runs the dialog over parent when pack has loaded and holds a smiley: LastChosenSmiley when it
// ended with OK, else -1. Otherwise text 139 goes to notifier as an information bubble (when there
// is one) and the result is -1.
int ChooseSmiley(HWND parent, bool compact, const CSmileyPack& pack, CNotifier* notifier);
// The program's pack and notifier.
int ChooseSmiley(HWND parent, bool compact);

class SmileyGridObserver {
public:
    // index: the chosen cell, -1 to cancel.
    virtual void OnSmileyChosen(CSmileyGridWnd* grid, int index) = 0;

protected:
    ~SmileyGridObserver() {}
};

class CSmileyGridWnd : public UI::CZELWMUI_ScrollWnd, public IAnimatedElementOwner {
public:
    CSmileyGridWnd(const CSmileyPack& pack, bool compact, SmileyGridObserver* observer);
    ~CSmileyGridWnd() override;

    void OnCreate() override;
    void OnWindowPosChanged(WINDOWPOS* position) override;
    void OnKeyDown(int virtualKey) override;
    void OnLButtonDown(int keyFlags, const POINT& point) override;
    void OnLButtonUp(int keyFlags, const POINT& point) override;
    void OnMouseMove(int keyFlags, const POINT& point) override;
    int OnGetDlgCode() override;
    void Paint(HDC dc) override;
    void PaintX(HDC dc) override;
    HBRUSH GetBkBrush() override;
    COLORREF GetTextColor() override;
    void OnFrameChanged(AnimatedElement* element, int frame) override;

    // One cell per smiley (none while the pack loads), then Layout.
    void FillCells();
    void Layout();
    void EnsureVisible();

    int CellCount() const { return int(cells.size()); }
    // Grid coordinates, before scrolling.
    RECT CellRect(int index) const;

private:
    struct SmileyCell {
        std::unique_ptr<CSmileyCellElement> element;
        RECT rect;
        bool changed;
    };

    void ClearItems();
    void Select(int index);
    bool CellVisible(const SmileyCell& cell, int scroll, int clientHeight) const;
    void PaintCell(HDC dc, const SmileyCell& cell, int index, int scroll);

    const CSmileyPack& pack;
    bool compact;
    SmileyGridObserver* observer;
    std::vector<SmileyCell> cells;
    int penState;  // 0 idle, 1 pen down, 2 dragging
    POINT penPoint;
    SIZE laidOut;  // the client size of the last layout
};

class CSmileyDialog : public UI::CZELWMUI_BigDlg, public SmileyGridObserver {
public:
    CSmileyDialog(const CSmileyPack& pack, bool compact);
    ~CSmileyDialog() override;

    void OnInitDialog() override;
    void OnScreenSizeChanged() override;
    int GetSoftKeyCap(TSoftKey key, CZELString& caption) override;
    void OnSoftKey(TSoftKey key) override;
    void OnSmileyChosen(CSmileyGridWnd* grid, int index) override;

    CSmileyGridWnd* Grid() { return grid.get(); }

private:
    const CSmileyPack& pack;
    bool compact;
    std::unique_ptr<CSmileyGridWnd> grid;
};
