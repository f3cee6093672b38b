#include "Zel/shell/toppanel/TopPanelWnd.h"

#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

using namespace TopPanelLayout;

namespace {

// The scroll arrows' skin pictures.
const int kLeftArrowImage = 48;
const int kRightArrowImage = 47;
// An arrow with nothing to scroll to is drawn faint.
const int kFaintAlpha = 64;

int IconWidth()
{
    return (g_HIDPI_LogPixelsX + 3) * 16 / 96;
}

int IconHeight()
{
    return (g_HIDPI_LogPixelsY + 3) * 16 / 96;
}

}  // namespace

CTopPanelWnd::CTopPanelWnd(IStatusMenuCallback* observer)
    : observer(observer), pressed(-1), hidden(0), firstVisible(0), anchorX(0)
{
}

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

void CTopPanelWnd::Relayout()
{
    RECT client = {};
    if (hwnd) GetClientRect(hwnd, &client);
    std::vector<int> counts;
    for (const Group& group : groups) counts.push_back(int(group.cells.size()));
    hidden = HiddenGroups(int(globalCells.size()), counts, MetricsFor(client.right, g_HIDPI_LogPixelsX));
    if (firstVisible > hidden) firstVisible = hidden;
}

Place CTopPanelWnd::PlaceLocked()
{
    RECT client = {};
    if (hwnd) GetClientRect(hwnd, &client);
    std::vector<int> counts;
    for (const Group& group : groups) counts.push_back(int(group.cells.size()));
    return PlaceCells(int(globalCells.size()), counts, firstVisible, hidden,
                      MetricsFor(client.right, g_HIDPI_LogPixelsX));
}

void CTopPanelWnd::Changed()
{
    // Any thread: only the window's own thread touches its paint state; a plain invalidation asks for
    // a full paint.
    if (hwnd) InvalidateRect(hwnd, nullptr, FALSE);
}

void CTopPanelWnd::AddGlobalCell(const Cell& icons)
{
    {
        CZELLock hold(lock);
        globalCells.push_back(icons);
        Relayout();
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
        Relayout();
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
        Relayout();
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
        Relayout();
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
        Relayout();
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
        Relayout();
    }
    Changed();
}

CTopPanelWnd::Target CTopPanelWnd::Resolve(int flatIndex)
{
    Place place = PlaceLocked();
    for (const Slot& slot : place.slots) {
        if (slot.flat != flatIndex) continue;
        switch (slot.kind) {
        case SlotLeftArrow:
            if (firstVisible > 0) --firstVisible;
            return Target{false, 0, -1};
        case SlotRightArrow:
            if (firstVisible < hidden) ++firstVisible;
            return Target{false, 0, -1};
        case SlotGlobal:
            anchorX = slot.left;
            return Target{true, 0, slot.cell};
        case SlotAccount:
            anchorX = slot.left;
            return Target{true, groups[size_t(slot.group)].account, slot.cell};
        }
    }
    return Target{false, 0, -1};
}

void CTopPanelWnd::Notify(const Target& target)
{
    if (target.valid && observer) observer->ShowAccountStatusMenu(target.key, target.cell);
}

void CTopPanelWnd::ActivateCell(int flatIndex)
{
    Target target;
    {
        CZELLock hold(lock);
        target = Resolve(flatIndex);
    }
    Notify(target);
    Changed();
}

void CTopPanelWnd::OnWindowPosChanged(WINDOWPOS*)
{
    CZELLock hold(lock);
    Relayout();
}

void CTopPanelWnd::OnLButtonDown(int, const POINT& point)
{
    SetCapture(hwnd);
    {
        CZELLock hold(lock);
        Place place = PlaceLocked();
        const Slot* slot = HitTest(place, point.x);
        pressed = -1;
        if (slot && (slot->kind == SlotLeftArrow || slot->kind == SlotRightArrow))
            Resolve(slot->flat);  // an arrow scrolls at once
        else if (slot)
            pressed = slot->flat;
    }
    Changed();
}

void CTopPanelWnd::OnLButtonUp(int, const POINT&)
{
    if (GetCapture() == hwnd) ReleaseCapture();
    // The menu is for the cell pressed, wherever the pen was lifted.
    Target target = {false, 0, -1};
    {
        CZELLock hold(lock);
        if (pressed >= 0) target = Resolve(pressed);
    }
    Notify(target);
    {
        CZELLock hold(lock);
        pressed = -1;
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

int CTopPanelWnd::GetFirstVisibleGroup()
{
    CZELLock hold(lock);
    return firstVisible;
}

int CTopPanelWnd::GetHiddenGroups()
{
    CZELLock hold(lock);
    return hidden;
}

int CTopPanelWnd::GetPressedCell()
{
    CZELLock hold(lock);
    return pressed;
}

Place CTopPanelWnd::GetPlace()
{
    CZELLock hold(lock);
    return PlaceLocked();
}

POINT CTopPanelWnd::GetAnchor()
{
    int x;
    {
        CZELLock hold(lock);
        x = anchorX;
    }
    POINT anchor = {x, 0};
    if (hwnd) ClientToScreen(hwnd, &anchor);
    return anchor;
}

void CTopPanelWnd::Paint(HDC dc)
{
    RECT client = {};
    GetClientRect(hwnd, &client);
    HGDIOBJ previousBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, client.left, client.top, client.right, client.bottom);

    const int height = client.bottom - client.top;
    const int iconWidth = IconWidth();
    const int iconHeight = IconHeight();
    const int iconTop = client.top + (height - iconHeight) / 2;
    const int squareWidth = UI::HIDPI_ScaleX(24);
    const int squareHeight = UI::HIDPI_ScaleY(24);
    CSkinImageSet* images = GuiImages();
    auto drawIcon = [&](int image, int x, int alpha) {
        if (images) images->DrawStretched(image, dc, x, iconTop, x + iconWidth, iconTop + iconHeight, 1, alpha);
    };
    auto drawCell = [&](const Cell& cell, int x, bool isPressed) {
        for (int i = 0; i < cell.GetCount(); ++i) drawIcon(cell[i], x + (height - iconWidth) / 2, 255);
        if (isPressed) {
            int left = x + (height - squareWidth) / 2;
            int top = client.top + (height - squareHeight) / 2;
            Rectangle(dc, left, top, left + squareWidth, top + squareHeight);
        }
    };

    CZELLock hold(lock);
    Place place = PlaceLocked();
    const int inset = (g_HIDPI_LogPixelsY + 24) * 2 / 96;
    for (int x : place.separators) {
        int lineX = x + (g_HIDPI_LogPixelsX * 6 + 48) / 192 + 1;
        MoveToEx(dc, lineX, client.top + inset, nullptr);
        LineTo(dc, lineX, client.bottom - inset);
    }
    for (const Slot& slot : place.slots) {
        switch (slot.kind) {
        case SlotGlobal: drawCell(globalCells[size_t(slot.cell)], slot.left, slot.flat == pressed); break;
        case SlotAccount:
            drawCell(groups[size_t(slot.group)].cells[size_t(slot.cell)], slot.left, slot.flat == pressed);
            break;
        case SlotLeftArrow:
            drawIcon(kLeftArrowImage, slot.left + (height - iconWidth) / 2, firstVisible == 0 ? kFaintAlpha : 255);
            break;
        case SlotRightArrow:
            drawIcon(kRightArrowImage, client.right - iconWidth - (height - iconWidth) / 2,
                     firstVisible < hidden ? 255 : kFaintAlpha);
            break;
        }
    }
    SelectObject(dc, previousBrush);
}

HBRUSH CTopPanelWnd::GetBkBrush()
{
    return GuiBackgroundBrush();
}

COLORREF CTopPanelWnd::GetTextColor()
{
    return GetSchemeColor(ColorScheme::TextColor);
}
