#include "Zel/chat/GridPickerWnd.h"

#include "Zel/chat/SmileyPack.h"
#include "Zel/chat/smiley/SmileyStripLayout.h"
#include "Zel/shell/app/GuiResources.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

CGridPickerWnd::CGridPickerWnd(const CSmileyPack* pack, IGridPickerObserver* observer)
    : fixedPack(pack), observer(observer), selection(-1), fillPending(true)
{
}

CGridPickerWnd::~CGridPickerWnd()
{
    cells.clear();
}

const CSmileyPack& CGridPickerWnd::Pack() const
{
    return fixedPack ? *fixedPack : SmileyPackInUse();
}

std::vector<int> CGridPickerWnd::ElementWidths() const
{
    std::vector<int> widths;
    for (const PickerCell& cell : cells) widths.push_back(cell.element->Size().cx);
    return widths;
}

std::vector<int> CGridPickerWnd::Smilies() const
{
    std::vector<int> smilies;
    for (const PickerCell& cell : cells) smilies.push_back(cell.element->Smiley());
    return smilies;
}

POINT CGridPickerWnd::CellPosition(int index) const
{
    return index >= 0 && index < int(cells.size()) ? POINT{cells[size_t(index)].x, cells[size_t(index)].y} : POINT{0, 0};
}

void CGridPickerWnd::Fill()
{
    cells.clear();
    selection = -1;
    const CSmileyPack& pack = Pack();
    if (!pack.IsLoaded()) {
        Redraw(UI::PaintFull);
        return;
    }
    std::vector<int> widths;
    for (int i = 0; i < pack.GetCount(); ++i) widths.push_back(pack.GetSmiley(i)->GetSize().cx);
    int count = SmileyStripFillCount(widths, hwnd ? GetClientWidth() : 0, g_HIDPI_LogPixelsX);
    for (int n = count - 1; n >= 0; --n) PushSmiley(n);
    fillPending = false;
    Redraw(UI::PaintFull);
}

void CGridPickerWnd::PushSmiley(int n)
{
    for (const PickerCell& cell : cells)
        if (cell.element->Smiley() == n) return;
    if (!Pack().GetSmiley(n)) return;
    PickerCell cell;
    cell.element.reset(new CSmileyCellElement(Pack(), n, this));
    cell.x = cell.y = 0;
    cell.repaint = false;
    cells.insert(cells.begin(), std::move(cell));
    Trim();
    if (selection >= 0) selection = 0;
    Redraw(UI::PaintFull);
}

void CGridPickerWnd::Trim()
{
    size_t keep = size_t(SmileyStripKeepCount(ElementWidths(), hwnd ? GetClientWidth() : 0, g_HIDPI_LogPixelsX));
    if (keep < cells.size()) cells.erase(cells.begin() + long(keep), cells.end());
    if (selection >= int(cells.size())) selection = int(cells.size()) - 1;
    PlaceCells();
}

void CGridPickerWnd::Reset()
{
    cells.clear();
    selection = -1;
    fillPending = true;
    Redraw(UI::PaintFull);
}

void CGridPickerWnd::PlaceCells()
{
    std::vector<int> widths = ElementWidths();
    std::vector<int> starts = SmileyStripSlotStarts(widths, g_HIDPI_LogPixelsX);
    int height = hwnd ? GetClientHeight() : 0;
    for (size_t i = 0; i < cells.size(); ++i) {
        SIZE size = cells[i].element->Size();
        int slot = SmileyStripSlotWidth(size.cx, g_HIDPI_LogPixelsX);
        cells[i].x = starts[i] + (slot - size.cx) / 2;
        cells[i].y = (height - size.cy) / 2;
    }
}

void CGridPickerWnd::OnWindowPosChanged(WINDOWPOS* position)
{
    UI::CZELWMUI_Wnd::OnWindowPosChanged(position);
    if (!position) return;
    if ((position->flags & SWP_SHOWWINDOW) && fillPending) Fill();
    if (!(position->flags & SWP_NOSIZE)) Trim();
}

void CGridPickerWnd::Tell(int index)
{
    if (observer && index >= 0 && index < int(cells.size()))
        observer->OnSmileyPicked(this, cells[size_t(index)].element->Smiley());
}

void CGridPickerWnd::OnKeyDown(int virtualKey)
{
    HWND parent = GetParent(hwnd);
    switch (virtualKey) {
    case VK_TAB:
    case VK_DOWN:
        PostMessageW(parent, WM_NEXTDLGCTL, 0, 0);
        selection = -1;
        break;
    case VK_UP:
        PostMessageW(parent, WM_NEXTDLGCTL, 1, 0);
        selection = -1;
        break;
    case VK_LEFT:
        if (--selection < 0) {
            selection = -1;
            PostMessageW(parent, WM_NEXTDLGCTL, 1, 0);
        }
        break;
    case VK_RIGHT:
        if (++selection >= int(cells.size())) {
            selection = -1;
            PostMessageW(parent, WM_NEXTDLGCTL, 0, 0);
        }
        break;
    case VK_RETURN:
        if (selection >= 0) Tell(selection);
        return;
    default:
        break;
    }
    Redraw(UI::PaintFull);
}

void CGridPickerWnd::OnChar(wchar_t character, LPARAM keyData)
{
    // Typing on the strip goes to the bar around it.
    if (character != L'\t' && character != L'\r')
        SendMessageW(GetParent(hwnd), WM_CHAR, WPARAM(character), keyData);
}

void CGridPickerWnd::OnLButtonDown(int, const POINT& point)
{
    RECT client;
    GetClientRect(hwnd, &client);
    if (!PtInRect(&client, point)) {
        SetFocus(hwnd);
        return;
    }
    int hit = SmileyStripHitTest(ElementWidths(), point.x, g_HIDPI_LogPixelsX);
    if (hit < 0) return;
    selection = hit;
    if (GetFocus() != hwnd)
        SetFocus(hwnd);
    else
        Redraw(UI::PaintFull);
    Tell(hit);
}

void CGridPickerWnd::OnSetFocus(HWND)
{
    if (selection < 0 && !cells.empty()) selection = 0;
    Redraw(UI::PaintFull);
}

void CGridPickerWnd::OnKillFocus(HWND)
{
    selection = -1;
    Redraw(UI::PaintFull);
}

int CGridPickerWnd::OnGetDlgCode()
{
    return DLGC_WANTARROWS | DLGC_WANTTAB;
}

void CGridPickerWnd::Paint(HDC dc)
{
    for (PickerCell& cell : cells) {
        cell.element->Paint(dc, cell.x, cell.y);
        cell.repaint = false;
    }
    if (selection < 0 || selection >= int(cells.size())) return;
    std::vector<int> widths = ElementWidths();
    int gap = UI::HIDPI_Scale(1, g_HIDPI_LogPixelsX);
    int start = SmileyStripSlotStarts(widths, g_HIDPI_LogPixelsX)[size_t(selection)];
    int end = start + SmileyStripSlotWidth(widths[size_t(selection)], g_HIDPI_LogPixelsX);
    HPEN pen = CreatePen(PS_SOLID, gap, GetSysColor(COLOR_HIGHLIGHT));
    HGDIOBJ old = SelectObject(dc, pen);
    int height = GetClientHeight();
    MoveToEx(dc, start - gap, 0, nullptr);
    LineTo(dc, start - gap, height);
    MoveToEx(dc, end, 0, nullptr);
    LineTo(dc, end, height);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void CGridPickerWnd::PaintX(HDC dc)
{
    HBRUSH brush = GetBkBrush();
    for (PickerCell& cell : cells) {
        if (!cell.repaint) continue;
        cell.repaint = false;
        // The frame is drawn over the background, so a keyed frame never shows the one before.
        SIZE size = cell.element->Size();
        RECT area = {cell.x, cell.y, cell.x + size.cx, cell.y + size.cy};
        POINT origin = {0, 0};
        ClientToScreen(hwnd, &origin);
        SetBrushOrgEx(dc, -origin.x, -origin.y, nullptr);
        FillRect(dc, &area, brush);
        cell.element->Paint(dc, cell.x, cell.y);
    }
}

HBRUSH CGridPickerWnd::GetBkBrush()
{
    HBRUSH brush = GuiBackgroundBrush();
    return brush ? brush : HBRUSH(GetStockObject(WHITE_BRUSH));
}

void CGridPickerWnd::OnFrameChanged(AnimatedElement* element, int)
{
    for (PickerCell& cell : cells)
        if (cell.element.get() == element) {
            cell.repaint = true;
            Redraw(UI::PaintPartial);
            return;
        }
}

CGridPickerWnd* CreateGridPicker(HWND parent, const RECT& rect, IGridPickerObserver* observer, const CSmileyPack& pack)
{
    CGridPickerWnd* strip = new CGridPickerWnd(&pack, observer);
    // Visible, bordered, a tab stop.
    strip->Create(GetModuleHandleW(nullptr), parent, WS_VISIBLE | WS_BORDER | WS_TABSTOP, rect);
    return strip;
}

CGridPickerWnd* CreateGridPicker(HWND parent, const RECT& rect, IGridPickerObserver* observer)
{
    CGridPickerWnd* strip = new CGridPickerWnd(nullptr, observer);
    strip->Create(GetModuleHandleW(nullptr), parent, WS_VISIBLE | WS_BORDER | WS_TABSTOP, rect);
    return strip;
}
