// CTopPanelWnd: the strip of status cells under the contact list: the global status cell, then each
// account's group of cells (its status icon first, then the icons the account adds). A tap on a
// cell asks the application for that account's status menu; when the groups do not fit, two arrow
// cells scroll them sideways.
//
// The updates come from the queue "GUI" thread while the window paints and takes the stylus on its
// own thread: the cells, the groups and the scroll state are kept under one lock, and the updates
// only invalidate the window. The observer is never called with the lock held, since it runs a
// modal menu.
#pragma once

#include "Zel/shell/toppanel/TopPanelLayout.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELWMUI_Wnd.h"

#include <windows.h>

#include <vector>

// What the panel asks of the application: the status menu of a cell (key 0 = the global status,
// else the account id; the cell index says which of the account's icons was tapped).
class IStatusMenuCallback {
public:
    virtual void ShowAccountStatusMenu(unsigned key, int cellIndex) = 0;

protected:
    ~IStatusMenuCallback() {}
};

class CTopPanelWnd : public UI::CZELWMUI_Wnd {
public:
    typedef CZELArray<int> Cell;

    explicit CTopPanelWnd(IStatusMenuCallback* observer);
    ~CTopPanelWnd() override;

    // Updates, from any thread; each lays the cells out again and redraws.
    void AddGlobalCell(const Cell& icons);
    void SetGlobalCellIcons(int index, const Cell& icons);
    void AddAccountGroup(unsigned account);
    void RemoveAccountGroup(unsigned account);
    // Nothing when newIndex is not below the group count.
    void MoveAccountGroup(unsigned account, int newIndex);
    // The new cell's index, -1 when the account has no group.
    int AddAccountCell(unsigned account, const Cell& icons);
    void SetAccountCellIcons(unsigned account, int cell, const Cell& icons);
    void RemoveAccountCell(unsigned account, int cell);

    // The keyboard's tap on a cell by its flat index: an arrow scrolls, any other cell asks for its
    // menu.
    void ActivateCell(int flatIndex);

    // The cells, for the tests: the global cells, then each group's cells in order.
    std::vector<std::vector<int>> GetGlobalCells();
    std::vector<unsigned> GetGroupOrder();
    std::vector<std::vector<int>> GetAccountCells(unsigned account);
    int GetFirstVisibleGroup();
    int GetHiddenGroups();
    int GetPressedCell();
    // Where the cells stand now.
    TopPanelLayout::Place GetPlace();
    // The anchor of the status menu: the top-left corner of the cell last tapped, on the screen.
    POINT GetAnchor();

    void OnWindowPosChanged(WINDOWPOS* position) override;
    void OnLButtonDown(int keyFlags, const POINT& point) override;
    void OnLButtonUp(int keyFlags, const POINT& point) override;
    void Paint(HDC dc) override;
    HBRUSH GetBkBrush() override;
    COLORREF GetTextColor() override;

private:
    struct Group {
        unsigned account;
        std::vector<Cell> cells;
    };
    // A cell resolved to what the observer is told.
    struct Target {
        bool valid;
        unsigned key;
        int cell;
    };

    Group* Find(unsigned account);
    // Under the lock.
    void Relayout();
    TopPanelLayout::Place PlaceLocked();
    // Under the lock: arrows scroll and give an invalid target; other cells become the anchor.
    Target Resolve(int flatIndex);
    void Changed();
    void Notify(const Target& target);
    static std::vector<int> Icons(const Cell& cell);

    IStatusMenuCallback* observer;
    CZELCriticalSection lock;  // guards everything below
    std::vector<Cell> globalCells;
    std::vector<Group> groups;
    int pressed;       // flat index, -1 when none
    int hidden;        // largest first visible group
    int firstVisible;
    int anchorX;       // client x of the cell last tapped
};
