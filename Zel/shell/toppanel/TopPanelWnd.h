// CTopPanelWnd: the strip of status cells under the contact list: the global status cell, then each
// account's group of cells (its status icon first, then the icons the account adds). The updates
// come from the queue "GUI" thread while the window paints on its own, so the cells are kept under
// a lock. This build draws the cells as they fit and does not yet scroll them or take taps.
#pragma once

#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELWMUI_Wnd.h"

#include <windows.h>

#include <vector>

// What the panel asks of the application: the status menu of a cell (key 0 = the global status,
// else the account id).
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

    void AddGlobalCell(const Cell& icons);
    void SetGlobalCellIcons(int index, const Cell& icons);
    void AddAccountGroup(unsigned account);
    void RemoveAccountGroup(unsigned account);
    void MoveAccountGroup(unsigned account, int newIndex);
    // The new cell's index, -1 when the account has no group.
    int AddAccountCell(unsigned account, const Cell& icons);
    void SetAccountCellIcons(unsigned account, int cell, const Cell& icons);
    void RemoveAccountCell(unsigned account, int cell);

    // The cells, for the tests: the global cells, then each group's cells in order.
    std::vector<std::vector<int>> GetGlobalCells();
    std::vector<unsigned> GetGroupOrder();
    std::vector<std::vector<int>> GetAccountCells(unsigned account);
    // The point under which a cell's menu opens: the panel's top right corner, on the screen.
    POINT GetAnchor() const;

    void Paint(HDC dc) override;
    HBRUSH GetBkBrush() override;
    COLORREF GetTextColor() override;

private:
    struct Group {
        unsigned account;
        std::vector<Cell> cells;
    };
    Group* Find(unsigned account);
    void Changed();
    static std::vector<int> Icons(const Cell& cell);

    IStatusMenuCallback* observer;
    CZELCriticalSection lock;  // guards the cells and groups
    std::vector<Cell> globalCells;
    std::vector<Group> groups;
};
