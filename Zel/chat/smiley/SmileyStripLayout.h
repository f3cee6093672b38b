// The recent-smilies strip's one row of slots as plain functions. A slot is at least 38 dip wide,
// or as wide as its smiley; slots start 1 dip from the left edge with 1 dip between them.
#pragma once

#include <vector>

int SmileyStripSlotWidth(int elementWidth, int dpi);

// How many smilies, from the first, a fill puts into a strip clientWidth wide: while room is left,
// the one that uses its last pixels included. elementWidths: the pack's smilies in order.
int SmileyStripFillCount(const std::vector<int>& elementWidths, int clientWidth, int dpi);

// How many cells stay after a trim: the cell after which the room falls below 1 pixel is the last
// kept (it may be cut at the right edge), so a narrow strip keeps at least one cell.
int SmileyStripKeepCount(const std::vector<int>& elementWidths, int clientWidth, int dpi);

// The left edge of each cell's slot.
std::vector<int> SmileyStripSlotStarts(const std::vector<int>& elementWidths, int dpi);

// The cell under x: the first whose slot end (with its 1-dip gap) reaches x; -1 past the last.
int SmileyStripHitTest(const std::vector<int>& elementWidths, int x, int dpi);
