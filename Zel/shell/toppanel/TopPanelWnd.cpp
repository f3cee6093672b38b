#include "Zel/shell/toppanel/TopPanelWnd.h"

#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/core/skin/SkinPicture.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

CTopPanelWnd::CTopPanelWnd(IStatusMenuCallback* observer) : observer(observer) {}

CTopPanelWnd::~CTopPanelWnd() {}

std::vector<int> CTopPanelWnd::Icons(const Cell& cell)
{
    std::vector<int> icons;
    for (int i = 0; i < cell.GetCount(); ++i) icons.push_back(cell[i]);
    return icons;
}

CTopPanelWnd::Group* CTopPanelWnd::Find(unsigned account)
{
    for (Group& group : groups)
        if (group.account == account) return &group;
    return nullptr;
}

void CTopPanelWnd::Changed()
{
    // Any thread: the window repaints on its own thread.
    if (hwnd) InvalidateRect(hwnd, nullptr, FALSE);
}

void CTopPanelWnd::AddGlobalCell(const Cell& icons)
{
    {
        CZELLock hold(lock);
        globalCells.push_back(icons);
    }
    Changed();
}

void CTopPanelWnd::SetGlobalCellIcons(int index, const Cell& icons)
{
    {
        CZELLock hold(lock);
        if (index < 0 || index >= int(globalCells.size())) return;
        globalCells[size_t(index)] = icons;
    }
    Changed();
}

void CTopPanelWnd::AddAccountGroup(unsigned account)
{
    {
        CZELLock hold(lock);
        if (Find(account)) return;
        groups.push_back(Group{account, {}});
    }
    Changed();
}

void CTopPanelWnd::RemoveAccountGroup(unsigned account)
{
    {
        CZELLock hold(lock);
        for (size_t i = 0; i < groups.size(); ++i)
            if (groups[i].account == account) {
                groups.erase(groups.begin() + long(i));
                break;
            }
    }
    Changed();
}

void CTopPanelWnd::MoveAccountGroup(unsigned account, int newIndex)
{
    {
        CZELLock hold(lock);
        if (newIndex < 0 || newIndex >= int(groups.size())) return;
        for (size_t i = 0; i < groups.size(); ++i) {
            if (groups[i].account != account) continue;
            Group moved = groups[i];
            groups.erase(groups.begin() + long(i));
            groups.insert(groups.begin() + newIndex, moved);
            break;
        }
    }
    Changed();
}

int CTopPanelWnd::AddAccountCell(unsigned account, const Cell& icons)
{
    int index = -1;
    {
        CZELLock hold(lock);
        Group* group = Find(account);
        if (!group) return -1;
        group->cells.push_back(icons);
        index = int(group->cells.size()) - 1;
    }
    Changed();
    return index;
}

void CTopPanelWnd::SetAccountCellIcons(unsigned account, int cell, const Cell& icons)
{
    {
        CZELLock hold(lock);
        Group* group = Find(account);
        if (!group || cell < 0 || cell >= int(group->cells.size())) return;
        group->cells[size_t(cell)] = icons;
    }
    Changed();
}

void CTopPanelWnd::RemoveAccountCell(unsigned account, int cell)
{
    {
        CZELLock hold(lock);
        Group* group = Find(account);
        if (!group || cell < 0 || cell >= int(group->cells.size())) return;
        group->cells.erase(group->cells.begin() + cell);
    }
    Changed();
}

std::vector<std::vector<int>> CTopPanelWnd::GetGlobalCells()
{
    CZELLock hold(lock);
    std::vector<std::vector<int>> cells;
    for (const Cell& cell : globalCells) cells.push_back(Icons(cell));
    return cells;
}

std::vector<unsigned> CTopPanelWnd::GetGroupOrder()
{
    CZELLock hold(lock);
    std::vector<unsigned> order;
    for (const Group& group : groups) order.push_back(group.account);
    return order;
}

std::vector<std::vector<int>> CTopPanelWnd::GetAccountCells(unsigned account)
{
    CZELLock hold(lock);
    std::vector<std::vector<int>> cells;
    if (Group* group = Find(account))
        for (const Cell& cell : group->cells) cells.push_back(Icons(cell));
    return cells;
}

POINT CTopPanelWnd::GetAnchor() const
{
    RECT rect = {};
    GetWindowRect(hwnd, &rect);
    return POINT{rect.right, rect.top};
}

void CTopPanelWnd::Paint(HDC dc)
{
    RECT client = {};
    GetClientRect(hwnd, &client);
    HGDIOBJ previousBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, client.left, client.top, client.right, client.bottom);
    SelectObject(dc, previousBrush);

    int cellWidth = UI::HIDPI_ScaleX(24);
    int gap = UI::HIDPI_ScaleX(6);
    int height = client.bottom - client.top;
    int iconWidth = CSkinPicture::IconWidth();
    int iconHeight = CSkinPicture::IconHeight();
    int x = client.left;
    CSkinImageSet* images = GuiImages();
    auto drawCell = [&](const Cell& cell) {
        for (int i = 0; i < cell.GetCount() && images; ++i)
            images->DrawStretched(cell[i], dc, x + (height - iconWidth) / 2, client.top + (height - iconHeight) / 2,
                                  x + (height - iconWidth) / 2 + iconWidth,
                                  client.top + (height - iconHeight) / 2 + iconHeight, 1, 255);
        x += cellWidth;
    };
    auto separator = [&]() {
        int lineX = x + (g_HIDPI_LogPixelsX * 6 + 48) / 192 + 1;
        int inset = (g_HIDPI_LogPixelsY + 24) * 2 / 96;
        MoveToEx(dc, lineX, client.top + inset, nullptr);
        LineTo(dc, lineX, client.bottom - inset);
        x += gap;
    };
    CZELLock hold(lock);
    for (const Cell& cell : globalCells) drawCell(cell);
    separator();
    for (const Group& group : groups) {
        if (x + cellWidth * int(group.cells.size()) > client.right) break;
        for (const Cell& cell : group.cells) drawCell(cell);
        separator();
    }
}

HBRUSH CTopPanelWnd::GetBkBrush()
{
    return GuiBackgroundBrush();
}

COLORREF CTopPanelWnd::GetTextColor()
{
    return GetSchemeColor(ColorScheme::TextColor);
}
