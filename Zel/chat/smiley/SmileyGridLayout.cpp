#include "Zel/chat/smiley/SmileyGridLayout.h"

#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <algorithm>
#include <cstdlib>

namespace {

const int kMinCell = 30;  // dip

int CentreDistance(const RECT& a, const RECT& b)
{
    return std::abs((a.left + a.right) / 2 - (b.left + b.right) / 2);
}

void LayoutCompact(const std::vector<SIZE>& sizes, int clientWidth, int minWidth, int minHeight,
                   std::vector<RECT>& cells)
{
    int x = 0, rowTop = 0, rowHeight = minHeight;
    size_t rowStart = 0;
    for (size_t j = 0; j < sizes.size(); ++j) {
        int w = std::max(int(sizes[j].cx), minWidth);
        // A row always takes its first cell, however wide.
        if (x + w > clientWidth && j > rowStart) {
            for (size_t k = rowStart; k < j; ++k) cells[k].bottom = rowTop + rowHeight;
            rowTop += rowHeight;
            rowHeight = minHeight;
            rowStart = j;
            x = 0;
        }
        cells[j].left = x;
        cells[j].right = x + w;
        cells[j].top = rowTop;
        x += w;
        rowHeight = std::max(rowHeight, int(sizes[j].cy));
    }
    for (size_t k = rowStart; k < sizes.size(); ++k) cells[k].bottom = rowTop + rowHeight;
}

}  // namespace

SmileyGridLayout LayoutSmileyGrid(const std::vector<SIZE>& sizes, int clientWidth, bool compact, int dpiX, int dpiY)
{
    SmileyGridLayout layout;
    layout.cells.resize(sizes.size(), RECT{0, 0, 0, 0});
    if (sizes.empty()) return layout;
    int minWidth = UI::HIDPI_Scale(kMinCell, dpiX);
    int minHeight = UI::HIDPI_Scale(kMinCell, dpiY);
    if (compact) {
        LayoutCompact(sizes, clientWidth, minWidth, minHeight, layout.cells);
    } else {
        int cellWidth = minWidth, cellHeight = minHeight;
        for (const SIZE& size : sizes) {
            cellWidth = std::max(cellWidth, int(size.cx));
            cellHeight = std::max(cellHeight, int(size.cy));
        }
        layout.columns = std::max(1, clientWidth / cellWidth);
        for (size_t j = 0; j < sizes.size(); ++j) {
            int row = int(j) / layout.columns, column = int(j) % layout.columns;
            RECT& cell = layout.cells[j];
            cell.left = column * cellWidth;
            cell.right = cell.left + cellWidth;
            cell.top = row * cellHeight;
            cell.bottom = cell.top + cellHeight;
        }
    }
    layout.scrollMax = layout.cells.back().bottom;
    return layout;
}

int SmileyGridUp(const std::vector<RECT>& cells, int selection)
{
    int count = int(cells.size());
    if (count == 0 || selection <= 0) return 0;
    if (selection >= count) selection = count - 1;
    const RECT& selected = cells[size_t(selection)];
    int i = selection;
    while (i > 0 && cells[size_t(i)].top == selected.top) --i;
    if (cells[size_t(i)].top == selected.top) return 0;  // the first row
    // i is the last cell of the row above; move left within that row while the centres get closer.
    while (i > 0 && cells[size_t(i - 1)].top == cells[size_t(i)].top &&
           CentreDistance(cells[size_t(i - 1)], selected) <= CentreDistance(cells[size_t(i)], selected))
        --i;
    return i;
}

int SmileyGridDown(const std::vector<RECT>& cells, int selection)
{
    int count = int(cells.size());
    if (count == 0) return 0;
    int last = count - 1;
    if (selection >= last) return last;
    if (selection < 0) selection = 0;
    const RECT& selected = cells[size_t(selection)];
    int i = selection;
    while (i < count && cells[size_t(i)].top == selected.top) ++i;
    if (i >= last) return last;
    // i is the first cell of the row below; move right within it while the centres get closer.
    while (i < last && cells[size_t(i + 1)].top == cells[size_t(i)].top &&
           CentreDistance(cells[size_t(i + 1)], selected) <= CentreDistance(cells[size_t(i)], selected))
        ++i;
    return i;
}

int SmileyGridHitTest(const std::vector<RECT>& cells, POINT point)
{
    for (size_t i = 0; i < cells.size(); ++i) {
        const RECT& c = cells[i];
        if (point.x >= c.left && point.x <= c.right && point.y >= c.top && point.y <= c.bottom) return int(i);
    }
    return -1;
}

int SmileyGridEnsureVisible(const RECT& cell, int position, int clientHeight)
{
    if (cell.top - position < 0) return cell.top;
    if (cell.bottom - position >= clientHeight) return std::max(0, int(cell.bottom) - clientHeight);
    return position;
}
