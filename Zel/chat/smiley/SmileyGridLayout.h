// Layout and key moves of the smiley dialog's grid as plain functions. Sizes at 96 dpi are scaled
// with the density given; rectangles are in grid coordinates, before scrolling.
//
// Guards: a grid narrower than one uniform cell still has one column, and a grid without cells
// has a scroll range of 0.
#pragma once

#include <windows.h>

#include <vector>

struct SmileyGridLayout {
    std::vector<RECT> cells;
    int scrollMax = 0;  // the last cell's bottom, 0 without cells
    int columns = 0;    // uniform mode only
};

// compact: each cell as wide as its smiley (at least 30 dip), rows as tall as their tallest (at
// least 30 dip), a row ending where the next smiley would cross the right edge. Otherwise every
// cell is as large as the largest smiley (at least 30 x 30 dip), as many columns as fit.
SmileyGridLayout LayoutSmileyGrid(const std::vector<SIZE>& sizes, int clientWidth, bool compact, int dpiX, int dpiY);

// The cell Up and Down select from selection: the nearest by horizontal centre in the row above or
// below. Up in the first row gives 0; Down in the last row gives the last cell.
int SmileyGridUp(const std::vector<RECT>& cells, int selection);
int SmileyGridDown(const std::vector<RECT>& cells, int selection);

// The cell holding point (grid coordinates; edges belong to the cell), or -1.
int SmileyGridHitTest(const std::vector<RECT>& cells, POINT point);

// The scroll position that brings cell into a view of clientHeight at position.
int SmileyGridEnsureVisible(const RECT& cell, int position, int clientHeight);
