// Layout arithmetic of the image-list controls, free of windows so that it can be checked alone:
// the grid of equal cells (cell counts, cell rectangles, hit-testing), the flowing rows of items of
// different sizes, the direction-key moves of both, and the scroll position that brings an item
// into view.
//
// Every division by a size is guarded: a client narrower than one cell still gets one column, a
// zero or negative pitch hits nothing, and products of counts and sizes are computed in 64 bits and
// clamped, so no input from a caller can divide by zero or overflow.
#pragma once

#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELCommonApi.h"

#include <windows.h>

namespace UI {
namespace ImageLayout {

// The fixed sizes of a grid of equal cells.
struct GridMetrics {
    int count;
    int cellWidth;
    int cellHeight;
    int horizontalGap;
    int verticalGap;
};

// What a client of a given size makes of a grid.
struct GridShape {
    int columns;          // at least 1
    int rows;             // enough rows for every cell; 0 for no cells
    bool needsScrollBar;  // the rows do not fit the client's height
    int scrollMax;        // the scroll bar's maximum when needsScrollBar (the content height)
    int scrollStep;       // one row with its gap when needsScrollBar
};

// The result of a direction key: moved is false when the key leaves the selection alone.
struct KeyMove {
    bool moved;
    int selection;
};

// Columns and rows for a client of clientWidth x clientHeight (the inner area is one pixel in from
// each side). When the rows do not fit, the columns are counted again without scrollBarWidth.
ZELCOMMON_API GridShape ComputeGrid(const GridMetrics& metrics, int clientWidth, int clientHeight,
                                    int scrollBarWidth);

// Cell index in client coordinates at the scroll position; false for an index outside the cells
// or a grid not laid out yet (columns < 1).
ZELCOMMON_API bool GridCellRect(const GridMetrics& metrics, int columns, int index, int scrollPos, RECT* out);

// The cell under a client point, or -1 (outside the grid, in a gap, or past the last cell).
ZELCOMMON_API int GridHitTest(const GridMetrics& metrics, int columns, int rows, int scrollPos, POINT point);

// VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN over a grid; any other key does not move.
ZELCOMMON_API KeyMove GridKeyMove(int count, int columns, int selection, int key);

// The scroll position that shows an item spanning contentTop..contentBottom (content coordinates):
// unchanged while it lies within the client, else the item comes to the top, one gap below the edge.
ZELCOMMON_API int ScrollToShow(int contentTop, int contentBottom, int scrollPos, int clientHeight, int verticalGap);

// Flowing rows. rects holds every item's rectangle in content coordinates; sizes each item's own
// size, as it was added; rowStarts the index of the first item of each row. All items of a row
// share its top and bottom, so a rectangle is as tall as its row: only sizes tells an item's own
// height once a taller neighbour has stretched it.

// Appends an item of width x height, placed after the last one or at the start of a new row when
// it would pass clientWidth. False (and nothing changed) when the arrays cannot grow.
ZELCOMMON_API bool FlowAddItem(CZELArray<RECT>& rects, CZELArray<SIZE>& sizes, CZELArray<int>& rowStarts,
                               int width, int height, int clientWidth, int horizontalGap, int verticalGap);

// Places every item again for clientWidth, in order, each at its own size, so a row is only ever
// as tall as its tallest item.
ZELCOMMON_API void FlowRecalculate(CZELArray<RECT>& rects, const CZELArray<SIZE>& sizes, CZELArray<int>& rowStarts,
                                   int clientWidth, int horizontalGap, int verticalGap);

// The bottom of the content: the last item's bottom, 0 without items.
ZELCOMMON_API int FlowContentBottom(const CZELArray<RECT>& rects);

// The item under a client point at the scroll position, or -1: the first row reaching down to the
// point, then the first item of that row reaching right to it.
ZELCOMMON_API int FlowHitTest(const CZELArray<RECT>& rects, const CZELArray<int>& rowStarts, int clientWidth,
                              int scrollPos, POINT point);

// VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN over flowing rows: up and down go to the last item of the
// neighbouring row that starts at or left of the selected item.
ZELCOMMON_API KeyMove FlowKeyMove(const CZELArray<RECT>& rects, const CZELArray<int>& rowStarts, int selection,
                                  int key);

}  // namespace ImageLayout
}  // namespace UI
