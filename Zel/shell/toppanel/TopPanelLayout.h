// The status strip's arithmetic, free of windows: how many account groups may scroll out of view,
// where each visible cell, the separators and the scroll arrows stand, and which cell lies under
// an x coordinate. Painting and the stylus both go through TopPanelPlace, so what is hit is what
// is drawn.
//
// Cells are numbered as drawn (the flat index): the global cells from 0, the left arrow right
// after them when groups scroll, then the visible groups' cells; the right arrow is always 9.
// At most 10 cells are drawn (9 with the arrows, the global cell and the left arrow among them).
#pragma once

#include <cstddef>
#include <vector>

namespace TopPanelLayout {

// The sizes in pixels (scaled for the screen's density).
struct Metrics {
    int cellWidth;    // W: 24 at 96 dpi
    int gap;          // g: 6 at 96 dpi
    int clientWidth;
};

Metrics MetricsFor(int clientWidth, int dpiX);

enum { RightArrowFlat = 9, MaxCells = 10, MaxCellsWithArrows = 9 };

// The largest first visible group: 0 when every group fits, else the count of groups that may scroll
// out to the left. Never the group count itself, so the last group can always be shown.
int HiddenGroups(int globalCells, const std::vector<int>& groupCells, const Metrics& metrics);

enum SlotKind { SlotGlobal, SlotLeftArrow, SlotAccount, SlotRightArrow };

struct Slot {
    SlotKind kind;
    int flat;   // the flat index
    int group;  // index of the account group (SlotAccount), else -1
    int cell;   // index of the cell in its global list or its group, else -1
    int left;   // the cell's x range [left, right)
    int right;
};

struct Place {
    std::vector<Slot> slots;       // in drawing order; the right arrow last when groups scroll
    std::vector<int> separators;   // the x where each gap starts
    bool arrows = false;
};

// Where everything stands with the given first visible group (clamped to 0..hidden).
Place PlaceCells(int globalCells, const std::vector<int>& groupCells, int firstVisible, int hidden,
                 const Metrics& metrics);

// The slot under x, or null.
const Slot* HitTest(const Place& place, int x);

}  // namespace TopPanelLayout
