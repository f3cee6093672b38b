#include "Zel/chat/SmileyDialog.h"

#include "Zel/chat/SmileyPack.h"
#include "Zel/chat/smiley/SmileyGridLayout.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/dialogs/DialogTemplates.h"
#include "Zel/shell/notify/Notifier.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "ZELCommon/ZELWMUI_Gdi.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <algorithm>
#include <cstdlib>

int LastChosenSmiley = 0;

namespace {

const int kTextSmiliesOff = 139;
const int kTextSelect = 256;
const int kTextCancel = 244;
const int kSelectedColour = 17;  // scheme colour of the selected cell

}  // namespace

int ChooseSmiley(HWND parent, bool compact, const CSmileyPack& pack, CNotifier* notifier)
{
    if (!pack.IsLoaded()) {
        if (notifier) notifier->ShowInfo(GuiText(kTextSmiliesOff));
        return -1;
    }
    CSmileyDialog dialog(pack, compact);
    return DoModalDialog(&dialog, parent) == IDOK ? LastChosenSmiley : -1;
}

int ChooseSmiley(HWND parent, bool compact)
{
    return ChooseSmiley(parent, compact, SmileyPackInUse(), GuiNotifier());
}

CSmileyGridWnd::CSmileyGridWnd(const CSmileyPack& pack, bool compact, SmileyGridObserver* observer)
    : UI::CZELWMUI_ScrollWnd(UI::HIDPI_ScaleY(10)), pack(pack), compact(compact), observer(observer), penState(0),
      penPoint{0, 0}, laidOut{-1, -1}
{
}

CSmileyGridWnd::~CSmileyGridWnd()
{
    ClearItems();
}

void CSmileyGridWnd::ClearItems()
{
    cells.clear();
}

void CSmileyGridWnd::OnCreate()
{
    UI::CZELWMUI_ScrollWnd::OnCreate();
    FillCells();
}

void CSmileyGridWnd::FillCells()
{
    ClearItems();
    if (!pack.IsLoading()) {
        int count = pack.GetCount();
        for (int i = 0; i < count; ++i) {
            SmileyCell cell;
            cell.element.reset(new CSmileyCellElement(pack, i, this));
            cell.rect = RECT{0, 0, 0, 0};
            cell.changed = false;
            cells.push_back(std::move(cell));
        }
    }
    if (LastChosenSmiley >= int(cells.size()) || LastChosenSmiley < 0) LastChosenSmiley = 0;
    Layout();
}

void CSmileyGridWnd::Layout()
{
    if (!hwnd) return;
    int height = GetClientHeight();
    // A bar that fills its page shows nothing, so the width read next is the whole client width.
    SetScrollInfo(0, std::max(0, height - 1), height, 0);
    int width = GetClientWidth();
    std::vector<SIZE> sizes;
    for (const SmileyCell& cell : cells) sizes.push_back(cell.element->Size());
    SmileyGridLayout layout = LayoutSmileyGrid(sizes, width, compact, g_HIDPI_LogPixelsX, g_HIDPI_LogPixelsY);
    for (size_t i = 0; i < cells.size(); ++i) cells[i].rect = layout.cells[i];
    int position = cells.empty() ? 0 : int(cells[size_t(std::min(LastChosenSmiley, int(cells.size()) - 1))].rect.top);
    SetScrollInfo(0, layout.scrollMax, height, position);
    laidOut = SIZE{GetClientWidth(), GetClientHeight()};
    Redraw(UI::PaintFull);
}

RECT CSmileyGridWnd::CellRect(int index) const
{
    return index >= 0 && index < int(cells.size()) ? cells[size_t(index)].rect : RECT{0, 0, 0, 0};
}

void CSmileyGridWnd::OnWindowPosChanged(WINDOWPOS* position)
{
    UI::CZELWMUI_ScrollWnd::OnWindowPosChanged(position);
    if (laidOut.cx == GetClientWidth() && laidOut.cy == GetClientHeight()) return;
    Layout();
}

void CSmileyGridWnd::EnsureVisible()
{
    if (cells.empty()) return;
    const RECT& cell = cells[size_t(LastChosenSmiley)].rect;
    int position = GetScrollPos();
    int wanted = SmileyGridEnsureVisible(cell, position, GetClientHeight());
    if (wanted != position) SetScrollPos(wanted);
}

void CSmileyGridWnd::Select(int index)
{
    LastChosenSmiley = index;
    EnsureVisible();
    Redraw(UI::PaintFull);
}

void CSmileyGridWnd::OnKeyDown(int virtualKey)
{
    int count = int(cells.size());
    if (count == 0) return;
    std::vector<RECT> rects;
    for (const SmileyCell& cell : cells) rects.push_back(cell.rect);
    int current = std::min(std::max(LastChosenSmiley, 0), count - 1);
    switch (virtualKey) {
    case VK_RETURN:
        if (observer) observer->OnSmileyChosen(this, LastChosenSmiley);
        return;
    case VK_LEFT:
        if (current > 0) Select(current - 1);
        return;
    case VK_RIGHT:
        if (current + 1 < count) Select(current + 1);
        return;
    case VK_UP:
        if (current > 0) Select(SmileyGridUp(rects, current));
        return;
    case VK_DOWN:
        if (current + 1 < count) Select(SmileyGridDown(rects, current));
        return;
    default:
        return;
    }
}

void CSmileyGridWnd::OnLButtonDown(int, const POINT& point)
{
    if (GetCapture() == hwnd) ReleaseCapture();
    SetCapture(hwnd);
    if (GetFocus() != hwnd) SetFocus(hwnd);
    penPoint = point;
    penState = 1;
}

void CSmileyGridWnd::OnMouseMove(int, const POINT& point)
{
    int threshold = UI::HIDPI_ScaleY(20);
    if (penState == 1 && std::abs(point.y - penPoint.y) >= threshold) penState = 2;
    if (penState != 2) return;
    int d = penPoint.y - point.y;
    if (std::abs(d) < threshold) return;
    penPoint = point;
    SetScrollPos(std::max(0, GetScrollPos() + d));
}

void CSmileyGridWnd::OnLButtonUp(int, const POINT& point)
{
    int state = penState;
    penState = 0;
    if (GetCapture() == hwnd) ReleaseCapture();
    if (state != 1) return;
    if (std::abs(point.x - penPoint.x) >= UI::HIDPI_ScaleX(20)) {
        if (observer) observer->OnSmileyChosen(this, -1);
        return;
    }
    std::vector<RECT> rects;
    for (const SmileyCell& cell : cells) rects.push_back(cell.rect);
    int hit = SmileyGridHitTest(rects, POINT{point.x, point.y + GetScrollPos()});
    if (hit < 0) return;
    LastChosenSmiley = hit;
    RedrawNow(UI::PaintFull);
    if (observer) observer->OnSmileyChosen(this, hit);
}

int CSmileyGridWnd::OnGetDlgCode()
{
    return DLGC_WANTALLKEYS;
}

bool CSmileyGridWnd::CellVisible(const SmileyCell& cell, int scroll, int clientHeight) const
{
    return cell.rect.bottom - scroll > 0 && cell.rect.top - scroll < clientHeight;
}

void CSmileyGridWnd::PaintCell(HDC dc, const SmileyCell& cell, int, int scroll)
{
    SIZE size = cell.element->Size();
    int x = (cell.rect.left + cell.rect.right - size.cx) / 2;
    int y = ((cell.rect.top - scroll) + (cell.rect.bottom - scroll) - size.cy) / 2;
    cell.element->Paint(dc, x, y);
}

void CSmileyGridWnd::Paint(HDC dc)
{
    int scroll = GetScrollPos(), height = GetClientHeight();
    if (!cells.empty()) {
        RECT selected = cells[size_t(std::min(LastChosenSmiley, int(cells.size()) - 1))].rect;
        OffsetRect(&selected, 0, -scroll);
        HBRUSH brush = CreateSolidBrush(GetSchemeColor(kSelectedColour));
        FillRect(dc, &selected, brush);
        DeleteObject(brush);
    }
    for (size_t i = 0; i < cells.size(); ++i) {
        if (CellVisible(cells[i], scroll, height)) PaintCell(dc, cells[i], int(i), scroll);
        cells[i].changed = false;
    }
}

void CSmileyGridWnd::PaintX(HDC dc)
{
    int scroll = GetScrollPos(), height = GetClientHeight();
    for (size_t i = 0; i < cells.size(); ++i) {
        SmileyCell& cell = cells[i];
        if (!cell.changed || !CellVisible(cell, scroll, height)) {
            cell.changed = false;
            continue;
        }
        cell.changed = false;
        int w = cell.rect.right - cell.rect.left, h = cell.rect.bottom - cell.rect.top;
        if (w <= 0 || h <= 0) continue;
        // Drawn off-screen first, so the cell never shows its background alone.
        HDC memory = CreateCompatibleDC(dc);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
        HGDIOBJ old = SelectObject(memory, bitmap);
        RECT area = {0, 0, w, h};
        if (int(i) == LastChosenSmiley) {
            HBRUSH brush = CreateSolidBrush(GetSchemeColor(kSelectedColour));
            FillRect(memory, &area, brush);
            DeleteObject(brush);
        } else {
            POINT origin = {cell.rect.left, cell.rect.top - scroll};
            ClientToScreen(hwnd, &origin);
            SetBrushOrgEx(memory, -origin.x, -origin.y, nullptr);
            FillRect(memory, &area, GetBkBrush());
        }
        SIZE size = cell.element->Size();
        cell.element->Paint(memory, (w - size.cx) / 2, (h - size.cy) / 2);
        BitBlt(dc, cell.rect.left, cell.rect.top - scroll, w, h, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
    }
}

HBRUSH CSmileyGridWnd::GetBkBrush()
{
    HBRUSH brush = GuiBackgroundBrush();
    return brush ? brush : HBRUSH(GetStockObject(WHITE_BRUSH));
}

COLORREF CSmileyGridWnd::GetTextColor()
{
    return GetSchemeColor(ColorScheme::TextColor);
}

void CSmileyGridWnd::OnFrameChanged(AnimatedElement* element, int)
{
    for (SmileyCell& cell : cells)
        if (cell.element.get() == element) {
            cell.changed = true;
            Redraw(UI::PaintPartial);
            return;
        }
}

CSmileyDialog::CSmileyDialog(const CSmileyPack& pack, bool compact) : pack(pack), compact(compact) {}

CSmileyDialog::~CSmileyDialog()
{
    grid.reset();
}

void CSmileyDialog::OnInitDialog()
{
    UI::CZELWMUI_BigDlg::OnInitDialog();
    RECT client = ClientAboveBar();
    grid.reset(new CSmileyGridWnd(pack, compact, this));
    grid->Create(GetModuleHandleW(nullptr), hwnd, WS_VISIBLE, client);
    if (*grid) SetFocus(*grid);
}

void CSmileyDialog::OnScreenSizeChanged()
{
    UI::CZELWMUI_BigDlg::OnScreenSizeChanged();
    if (!grid || !*grid) return;
    grid->MoveAndResize(ClientAboveBar());
}

int CSmileyDialog::GetSoftKeyCap(TSoftKey key, CZELString& caption)
{
    caption = GuiText(key == SoftKeyLeft ? kTextSelect : kTextCancel);
    return 1;
}

void CSmileyDialog::OnSoftKey(TSoftKey key)
{
    EndDialog(key == SoftKeyLeft ? IDOK : IDCANCEL);
}

void CSmileyDialog::OnSmileyChosen(CSmileyGridWnd*, int index)
{
    EndDialog(index < 0 ? IDCANCEL : IDOK);
}
