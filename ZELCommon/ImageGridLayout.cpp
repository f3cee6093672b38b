#include "ZELCommon/ImageGridLayout.h"

#include <climits>

namespace UI {
namespace ImageLayout {

namespace {

int Clamp(long long value)
{
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return int(value);
}

int NonNegative(int value)
{
    return value < 0 ? 0 : value;
}

// Whole cells of pitch that fit width, where the last cell needs no gap after it; never less than
// one, so a client narrower than a cell (or a zero pitch) still lays out one column.
int ColumnsFor(long long width, const GridMetrics& m)
{
    long long pitch = (long long)m.cellWidth + m.horizontalGap;
    if (pitch <= 0) return 1;
    long long columns = (width + m.horizontalGap) / pitch;
    return columns < 1 ? 1 : Clamp(columns);
}

int RowsFor(int count, int columns)
{
    if (count <= 0) return 0;
    if (columns < 1) columns = 1;
    return Clamp(((long long)count + columns - 1) / columns);
}

bool IsSelection(int selection, int count)
{
    return selection >= 0 && selection < count;
}

// Left and right are shared by both layouts; they only look at the item count.
bool SideKeyMove(int count, int selection, int key, KeyMove* result)
{
    if (key == VK_LEFT) {
        if (IsSelection(selection, count) && selection > 0) *result = {true, selection - 1};
        return true;
    }
    if (key == VK_RIGHT) {
        // From no selection (-1) this reaches the first item.
        if (selection >= -1 && selection < count - 1) *result = {true, selection + 1};
        return true;
    }
    return false;
}

// Last index of row r of the flowing layout.
int RowEnd(const CZELArray<int>& rowStarts, int row, int count)
{
    int end = row + 1 < rowStarts.GetCount() ? rowStarts[row + 1] - 1 : count - 1;
    return end < count ? end : count - 1;
}

// Places item index after item index - 1 (or first); rowStart is the first item of the row that
// item index - 1 belongs to. Returns true when the item starts a new row.
bool PlaceFlowItem(CZELArray<RECT>& rects, int index, int rowStart, int width, int height, int clientWidth,
                   int horizontalGap, int verticalGap)
{
    RECT& item = rects[index];
    if (index == 0) {
        item.left = Clamp((long long)horizontalGap + 1);
        item.top = Clamp((long long)verticalGap + 1);
        item.right = Clamp((long long)item.left + width);
        item.bottom = Clamp((long long)item.top + height);
        return true;
    }
    const RECT previous = rects[index - 1];
    if ((long long)clientWidth < (long long)previous.right + horizontalGap + width) {
        item.left = Clamp((long long)horizontalGap + 1);
        item.top = Clamp((long long)previous.bottom + verticalGap);
        item.right = Clamp((long long)item.left + width);
        item.bottom = Clamp((long long)item.top + height);
        return true;
    }
    LONG rowBottom = previous.bottom;
    if ((long long)height > (long long)previous.bottom - previous.top) {
        rowBottom = Clamp((long long)previous.top + height);
        for (int i = rowStart; i < index; ++i) rects[i].bottom = rowBottom;
    }
    item.left = Clamp((long long)previous.right + horizontalGap);
    item.top = previous.top;
    item.right = Clamp((long long)item.left + width);
    item.bottom = rowBottom;
    return false;
}

}  // namespace

GridShape ComputeGrid(const GridMetrics& m, int clientWidth, int clientHeight, int scrollBarWidth)
{
    GridShape shape = {};
    long long innerWidth = (long long)clientWidth - 2;
    long long innerHeight = (long long)clientHeight - 2;
    shape.columns = ColumnsFor(innerWidth, m);
    shape.rows = RowsFor(m.count, shape.columns);

    long long pitchY = (long long)m.cellHeight + m.verticalGap;
    if (pitchY <= 0 || (innerHeight + m.verticalGap) / pitchY >= shape.rows) return shape;

    shape.needsScrollBar = true;
    shape.columns = ColumnsFor(innerWidth - NonNegative(scrollBarWidth), m);
    shape.rows = RowsFor(m.count, shape.columns);
    shape.scrollStep = Clamp(pitchY);
    long long content = (long long)shape.rows * pitchY - m.verticalGap;
    shape.scrollMax = content < 0 ? 0 : Clamp(content);
    return shape;
}

bool GridCellRect(const GridMetrics& m, int columns, int index, int scrollPos, RECT* out)
{
    if (!out || columns < 1 || !IsSelection(index, m.count)) return false;
    long long row = index / columns;
    long long column = index - row * columns;
    long long top = row * ((long long)m.verticalGap + m.cellHeight) - scrollPos + 1;
    long long left = column * ((long long)m.horizontalGap + m.cellWidth) + 1;
    out->top = Clamp(top);
    out->bottom = Clamp(top + m.cellHeight);
    out->left = Clamp(left);
    out->right = Clamp(left + m.cellWidth);
    return true;
}

int GridHitTest(const GridMetrics& m, int columns, int rows, int scrollPos, POINT point)
{
    long long pitchX = (long long)m.horizontalGap + m.cellWidth;
    long long pitchY = (long long)m.verticalGap + m.cellHeight;
    if (columns < 1 || rows < 1 || pitchX <= 0 || pitchY <= 0) return -1;

    long long x = point.x, y = point.y;
    if (x <= 0 || x > columns * pitchX - m.horizontalGap || y <= 0) return -1;

    long long v = (long long)scrollPos + y - 1;
    if (v < 0) return -1;
    long long row = v / pitchY;
    if (row >= rows || v > row * pitchY + m.cellHeight) return -1;  // below the last row, or in a gap

    long long column = (x - 1) / pitchX;
    if (column >= columns || x - 1 > column * pitchX + m.cellWidth) return -1;

    long long index = row * columns + column;
    return index > (long long)m.count - 1 ? -1 : int(index);
}

KeyMove GridKeyMove(int count, int columns, int selection, int key)
{
    KeyMove result = {false, selection};
    if (SideKeyMove(count, selection, key, &result)) return result;
    if (!IsSelection(selection, count)) return result;
    if (columns < 1) columns = 1;

    if (key == VK_UP) {
        result = {true, selection >= columns ? selection - columns : 0};
    } else if (key == VK_DOWN) {
        // Not in the last row and the cell below exists; else the last cell.
        long long below = (long long)selection + columns;
        result = {true, below < count ? int(below) : count - 1};
    }
    return result;
}

int ScrollToShow(int contentTop, int contentBottom, int scrollPos, int clientHeight, int verticalGap)
{
    long long top = (long long)contentTop - scrollPos;
    long long bottom = (long long)contentBottom - scrollPos;
    if (top >= 0 && bottom <= clientHeight) return scrollPos;
    return Clamp((long long)contentTop - verticalGap);
}

bool FlowAddItem(CZELArray<RECT>& rects, CZELArray<SIZE>& sizes, CZELArray<int>& rowStarts, int width,
                 int height, int clientWidth, int horizontalGap, int verticalGap)
{
    int index = rects.GetCount();
    int rowStart = rowStarts.GetCount() > 0 ? rowStarts[rowStarts.GetCount() - 1] : 0;
    SIZE size = {NonNegative(width), NonNegative(height)};
    RECT empty = {};
    if (sizes.Add(size) < 0) return false;
    if (rects.Add(empty) < 0) {
        sizes.RemoveAt(index);
        return false;
    }
    if (PlaceFlowItem(rects, index, rowStart, size.cx, size.cy, clientWidth, horizontalGap, verticalGap)) {
        // A new row stretched nothing, so dropping the item undoes it all.
        if (rowStarts.Add(index) < 0) {
            rects.RemoveAt(index);
            sizes.RemoveAt(index);
            return false;
        }
    }
    return true;
}

void FlowRecalculate(CZELArray<RECT>& rects, const CZELArray<SIZE>& sizes, CZELArray<int>& rowStarts,
                     int clientWidth, int horizontalGap, int verticalGap)
{
    rowStarts = CZELArray<int>();
    int rowStart = 0;
    for (int i = 0; i < rects.GetCount(); ++i) {
        // Arrays out of step never read past sizes: such an item keeps its rectangle's size.
        SIZE size = i < sizes.GetCount() ? sizes[i]
                                         : SIZE{Clamp((long long)rects[i].right - rects[i].left),
                                                Clamp((long long)rects[i].bottom - rects[i].top)};
        if (PlaceFlowItem(rects, i, rowStart, NonNegative(size.cx), NonNegative(size.cy), clientWidth, horizontalGap,
                          verticalGap)) {
            rowStart = i;
            rowStarts.Add(i);
        }
    }
}

int FlowContentBottom(const CZELArray<RECT>& rects)
{
    int count = rects.GetCount();
    return count > 0 ? rects[count - 1].bottom : 0;
}

int FlowHitTest(const CZELArray<RECT>& rects, const CZELArray<int>& rowStarts, int clientWidth, int scrollPos,
                POINT point)
{
    if (point.x < 0 || point.x >= clientWidth || point.y < 0) return -1;
    long long y = (long long)point.y + scrollPos;
    int count = rects.GetCount();
    for (int row = 0; row < rowStarts.GetCount(); ++row) {
        int first = rowStarts[row];
        if (!IsSelection(first, count)) return -1;
        if (rects[first].bottom < y) continue;
        int end = RowEnd(rowStarts, row, count);
        for (int i = first; i <= end; ++i) {
            if (rects[i].right >= point.x) return i;
        }
        return -1;
    }
    return -1;
}

KeyMove FlowKeyMove(const CZELArray<RECT>& rects, const CZELArray<int>& rowStarts, int selection, int key)
{
    int count = rects.GetCount();
    KeyMove result = {false, selection};
    if (SideKeyMove(count, selection, key, &result)) return result;
    if ((key != VK_UP && key != VK_DOWN) || !IsSelection(selection, count)) return result;

    const RECT& selected = rects[selection];
    int rows = rowStarts.GetCount();
    int row = 0;
    while (row < rows && !(IsSelection(rowStarts[row], count) && rects[rowStarts[row]].top == selected.top)) ++row;
    if (row == rows) return result;  // the rows do not describe the items

    int target = key == VK_UP ? row - 1 : row + 1;
    if (target < 0) return {true, 0};
    if (target >= rows) return {true, count - 1};

    int first = rowStarts[target];
    if (!IsSelection(first, count)) return result;
    int end = RowEnd(rowStarts, target, count);
    int chosen = first;
    for (int i = first; i <= end; ++i) {
        if (rects[i].left <= selected.left) chosen = i;
    }
    return {true, chosen};
}

}  // namespace ImageLayout
}  // namespace UI
