#include "Zel/shell/toppanel/TopPanelLayout.h"

namespace TopPanelLayout {

namespace {

// Cells counted back from the last group beyond which the earlier groups scroll out.
const int kScrollAfterCells = 8;

int Clamp(int value, int low, int high)
{
    return value < low ? low : value > high ? high : value;
}

}  // namespace

Metrics MetricsFor(int clientWidth, int dpiX)
{
    return Metrics{(dpiX * 24 + 48) / 96, (dpiX * 6 + 48) / 96, clientWidth};
}

int HiddenGroups(int globalCells, const std::vector<int>& groupCells, const Metrics& metrics)
{
    int groups = int(groupCells.size());
    if (groups == 0) return 0;
    long long width = metrics.cellWidth;
    long long total = globalCells;
    for (int cells : groupCells) total += cells;

    int hidden = 0;
    long long room = metrics.clientWidth - metrics.gap - globalCells * width;
    long long counted = globalCells;
    for (int i = groups - 1; i >= 0; --i) {
        long long need = groupCells[size_t(i)] * width;
        if (need > room) {
            // With the arrows in the strip: the groups that fit packed, counted from the last one.
            long long packed = metrics.clientWidth - 2 * width - metrics.gap - globalCells * width;
            for (int j = groups - 1; j >= 0; --j) {
                packed -= groupCells[size_t(j)] * width;
                if (packed < 0) {
                    hidden = j + 1;
                    break;
                }
            }
            // Something did not fit: the arrows must show even when the packed groups would.
            if (hidden == 0) hidden = 1;
            break;
        }
        if (total > MaxCells && counted + groupCells[size_t(i)] > kScrollAfterCells) {
            hidden = i + 1;
            break;
        }
        room -= metrics.gap + need;
        counted += groupCells[size_t(i)];
    }
    // A last group too wide on its own is still shown (cut), never scrolled past.
    return Clamp(hidden, 0, groups - 1);
}

Place PlaceCells(int globalCells, const std::vector<int>& groupCells, int firstVisible, int hidden,
                 const Metrics& metrics)
{
    Place place;
    int groups = int(groupCells.size());
    hidden = Clamp(hidden, 0, groups > 0 ? groups - 1 : 0);
    place.arrows = hidden > 0;
    int first = Clamp(firstVisible, 0, hidden);
    const int width = metrics.cellWidth;
    int x = 0;
    int flat = 0;
    for (int i = 0; i < globalCells; ++i, x += width) place.slots.push_back(Slot{SlotGlobal, flat++, -1, i, x, x + width});
    place.separators.push_back(x);
    x += metrics.gap;
    if (place.arrows) {
        place.slots.push_back(Slot{SlotLeftArrow, flat++, -1, -1, x, x + width});
        x += width;
    }

    const int limit = place.arrows ? MaxCellsWithArrows : MaxCells;
    // Room kept at the right for the right arrow.
    const int reserve = place.arrows ? 2 * width : width;
    bool full = false;
    for (int group = first; group < groups && !full; ++group) {
        for (int cell = 0; cell < groupCells[size_t(group)]; ++cell) {
            if (flat >= limit || x + reserve > metrics.clientWidth) {
                full = true;
                break;
            }
            place.slots.push_back(Slot{SlotAccount, flat++, group, cell, x, x + width});
            x += width;
        }
        if (full || x + reserve > metrics.clientWidth) break;
        place.separators.push_back(x);
        x += metrics.gap;
    }
    if (place.arrows) {
        int left = x < metrics.clientWidth - width ? x : metrics.clientWidth - width;
        if (left < 0) left = 0;
        place.slots.push_back(Slot{SlotRightArrow, RightArrowFlat, -1, -1, left, metrics.clientWidth});
    }
    return place;
}

const Slot* HitTest(const Place& place, int x)
{
    for (const Slot& slot : place.slots)
        if (x >= slot.left && x < slot.right) return &slot;
    return nullptr;
}

}  // namespace TopPanelLayout
